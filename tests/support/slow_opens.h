#pragma once

#include <chrono>
#include <vector>

// hidapi's opens, linked with --wrap=hid_open_path and slow_opens.cpp, pass
// through here: each is made as slow as asked, as on a system whose opens
// are slow, and the moment it returns is noted.
namespace slow_opens {

void set(int milliseconds);
std::vector<std::chrono::steady_clock::time_point> returned(); // since the last set

} // namespace slow_opens
