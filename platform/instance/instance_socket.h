// Socket plumbing shared by the instance server and its clients.
#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "base/app_profile.h"
#include "base/unique_fd.h"

namespace zv::instance_detail {

using Clock = std::chrono::steady_clock;

std::optional<std::string> runtime_dir(const AppProfile& profile);

// Non-blocking connect to a Unix-domain socket; on failure an invalid fd and errno in `err`.
UniqueFd connect_socket(const std::string& path, Clock::time_point deadline, int& err);

// Milliseconds left until `deadline` for poll(), never negative.
int poll_timeout(Clock::time_point deadline);

}  // namespace zv::instance_detail
