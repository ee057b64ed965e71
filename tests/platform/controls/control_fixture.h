// A platform over the program's resources and a 240 x 320 parent window whose procedure the test
// gives, for the built-in controls' tests.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <span>

#include "composition/platform.h"
#include "resources/resource_blob.h"

namespace zv::test {

class ControlFixture : public ::testing::Test {
protected:
    void open(WNDPROC parent_proc, LPCWSTR class_name)
    {
        zv::PlatformOptions o;
        o.audio_device = false;
        o.resources = std::span<const std::uint8_t>(zv_resource_blob, zv_resource_blob_size);
        platform_ = std::make_unique<zv::Platform>(o);
        WNDCLASS wc{};
        wc.lpfnWndProc = parent_proc;
        wc.lpszClassName = class_name;
        ASSERT_TRUE(RegisterClass(&wc));
        parent_ = CreateWindow(class_name, u"", WS_VISIBLE, 0, 0, 240, 320, NULL, NULL, NULL, NULL);
    }
    void TearDown() override { platform_.reset(); }

    std::unique_ptr<zv::Platform> platform_;
    HWND parent_ = nullptr;
};

}  // namespace zv::test
