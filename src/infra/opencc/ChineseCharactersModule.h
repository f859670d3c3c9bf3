#pragma once
// The entry points of the OpenCC module (libkiv-opencc.so, beside the program),
// looked up by name after dlopen. Exceptions never cross them.
#include <string>

extern "C" {

// A converter for an OpenCC configuration (JSON, dictionaries found in
// directory, then in OpenCC's data folder); null with the reason in *why.
void* kiv_opencc_open(const char* directory, const char* configJson, std::string* why);
// UTF-8 in, UTF-8 out; false with the reason in *why.
bool kiv_opencc_convert(const void* converter, const std::string* in, std::string* out, std::string* why);
void kiv_opencc_close(void* converter);
}

namespace kiv {

inline constexpr const char* kOpenCcModuleName = "libkiv-opencc.so";

}  // namespace kiv
