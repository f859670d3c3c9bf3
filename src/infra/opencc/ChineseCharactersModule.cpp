// OpenCC behind a small module of our own, loaded by TChineseCharacterMap on
// the first conversion that needs it: the program does not load OpenCC and its
// trie library at start, when most sessions never convert a Chinese code page.
#include <opencc/Config.hpp>
#include <opencc/Converter.hpp>
#include <opencc/Exception.hpp>

#include <exception>
#include <memory>
#include <string>

#include "infra/opencc/ChineseCharactersModule.h"

namespace {

struct TConverter {
    std::shared_ptr<opencc::Converter> converter;
};

}  // namespace

extern "C" {

void* kiv_opencc_open(const char* directory, const char* configJson, std::string* why) {
    try {
        opencc::Config config;
        return new TConverter{config.NewFromString(configJson, directory)};
    } catch (const opencc::Exception& error) {  // OpenCC's own exceptions stand apart from std::exception
        *why = error.what();
    } catch (const std::exception& error) {
        *why = error.what();
    }
    return nullptr;
}

bool kiv_opencc_convert(const void* converter, const std::string* in, std::string* out, std::string* why) {
    try {
        *out = static_cast<const TConverter*>(converter)->converter->Convert(*in);
        return true;
    } catch (const opencc::Exception& error) {
        *why = error.what();
    } catch (const std::exception& error) {
        *why = error.what();
    }
    return false;
}

void kiv_opencc_close(void* converter) { delete static_cast<TConverter*>(converter); }

}  // extern "C"
