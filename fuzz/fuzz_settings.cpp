// libFuzzer entry: any bytes as the settings file, then the rules every settings file must keep
// (fuzz/profile_properties.h), all in memory. Built by `./dev fuzz` with clang; a rule that fails
// aborts, so the fuzzer keeps the input that broke it.
#include "fuzz/profile_properties.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The input's length chooses the family of rules, so that each family sees every kind of
    // content.
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString failure
        = fuzzing::checkProfile(input, int(size % std::size_t(fuzzing::kRuleFamilies)));
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "kelvane fuzz: %s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}
