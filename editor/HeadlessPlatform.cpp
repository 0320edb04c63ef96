#include "HeadlessPlatform.h"

#include "Colors.h"

namespace kvx {

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

} // namespace kvx
