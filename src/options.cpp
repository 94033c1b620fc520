#include "options.h"

#include <cstring>

namespace {

// Matches "--name=value" and "--name value"; the value is null when it is
// missing or empty.
bool takeValuedOption(const char *name, int argc, char *argv[], int &i, const char *&value) {
    const char *arg = argv[i];
    size_t length = std::strlen(name);
    if (std::strncmp(arg, name, length) != 0)
        return false;
    if (arg[length] == '=') {
        value = arg[length + 1] != '\0' ? arg + length + 1 : nullptr;
        return true;
    }
    if (arg[length] != '\0')
        return false;
    value = i + 1 < argc ? argv[++i] : nullptr;
    return true;
}

} // namespace

CommandLine parseCommandLine(int argc, char *argv[]) {
    CommandLine line;
    int i = 1;
    for (; i < argc && std::strncmp(argv[i], "--", 2) == 0; ++i) {
        const char *arg = argv[i];
        const char *value = nullptr;
        if (std::strcmp(arg, "--") == 0) {
            ++i;
            break;
        }
        if (std::strcmp(arg, "--help") == 0) {
            line.help = true;
            return line;
        }
        if (std::strcmp(arg, "--version") == 0) {
            line.version = true;
            return line;
        }
        bool isSize = takeValuedOption("--size", argc, argv, i, value);
        if (!isSize && !takeValuedOption("--pixel-format", argc, argv, i, value)) {
            line.error = OptionError::unknown;
            line.badOption = arg;
            return line;
        }
        if (value == nullptr) {
            line.error = OptionError::missingValue;
            line.badOption = arg;
            return line;
        }
        (isSize ? line.sizeText : line.pixelFormat) = value;
    }
    line.firstName = i;
    return line;
}
