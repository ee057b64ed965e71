// What the panel scenarios start from: the program over four tracks f0300.mp3 .. f0480.mp3, each
// sounding at its frequency and tagged "A<hz>" / "T<hz>", and a default picture of a given size,
// keeping its start-up panel.
#pragma once
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "app/zorvane.h"
#include "support/fixture_dir.h"
#include "support/program_harness.h"
#include "tools/fixtures.h"

class PanelProgram : public ::testing::Test {
protected:
    void start(int art_width, int art_height)
    {
        zv::fixtures::ToneTrack t;
        t.seconds = 2.0, t.bitrate_kbps = 64;
        zv::test::tone_library(dir_.path(), 4, t, 60, /*tagged=*/true);
        const auto picture = zv::fixtures::make_cover_png(art_width, art_height, 7);
        std::ofstream(dir_.path() / "default.jpg", std::ios::binary)
            .write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(picture.size()));
        zv::test::ProgramHarness::Options o(dir_.path());
        o.keep_start_panel = true;
        p_ = std::make_unique<zv::test::ProgramHarness>(o);
    }

    HWND active() { return p_->ui(GetActiveWindow); }
    int volume()
    {
        return p_->ui([] { return CurrentVolume; });
    }

    zv::test::FixtureDir dir_;
    std::unique_ptr<zv::test::ProgramHarness> p_;
};
