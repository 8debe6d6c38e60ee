#pragma once

#include <cstdint>
#include <string>

namespace process {

// The system's one-line message for an error number or status code; never empty.
std::string ErrorText(uint32_t number);

}  // namespace process
