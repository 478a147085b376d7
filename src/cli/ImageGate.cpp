#include "cli/ImageGate.h"

#include "cli/CliTexts.h"

std::string ImageRefusal(CliCommand command, uint64_t imageLength, const std::string& file) {
    if (!CommandNeedsImage(command) || imageLength > 0) return {};
    return CliText::ImageEmpty + file;
}
