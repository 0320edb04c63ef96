#include "HeadlessPlatform.h"

#include "Colors.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace kvx {

namespace {

// The moment to write: SOURCE_DATE_EPOCH when it holds a whole number of seconds, which
// reproducible builds read as UTC; otherwise now, in local time.
std::string FormatNow(const char* format) {
    std::tm parts{};
    bool ok = false;
    if (const char* epoch = std::getenv("SOURCE_DATE_EPOCH"); epoch && *epoch) {
        char* end = nullptr;
        errno = 0;
        const long long seconds = std::strtoll(epoch, &end, 10);
        if (errno == 0 && *end == '\0' && seconds >= 0) {
            const auto t = static_cast<std::time_t>(seconds);
            ok = gmtime_r(&t, &parts) != nullptr;
        }
    }
    if (!ok) {
        const std::time_t now = std::time(nullptr);
        ok = localtime_r(&now, &parts) != nullptr;
    }
    char text[64];
    const size_t n = ok ? std::strftime(text, sizeof text, format, &parts) : 0;
    return std::string(text, n);
}

} // namespace

void MeasureGrid(Pixel width, std::span<Pixel> rightEdges) {
    for (size_t k = 0; k < rightEdges.size(); ++k)
        rightEdges[k] = static_cast<Pixel>(k + 1) * width;
}

void THeadlessPlatform::MeasureWidths(std::string_view /*utf8*/, uint8_t /*fontStyle*/,
                                      std::span<Pixel> rightEdges) {
    MeasureGrid(kCharWidth, rightEdges);
}

int32_t THeadlessPlatform::SystemColorValue(int index) {
    return DefaultSystemColor(index);
}

std::string THeadlessPlatform::ShortDate() {
    return FormatNow("%Y-%m-%d");
}

std::string THeadlessPlatform::LongTime() {
    return FormatNow("%H:%M:%S");
}

} // namespace kvx
