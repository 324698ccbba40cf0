#include "reference.h"

namespace ref {

Image Turn90(const uint8_t* bits, uint32_t width, uint32_t height, uint32_t rowBytes) {
    const uint32_t B = (height + 7) / 8;
    Image out{B, width, std::vector<uint8_t>(size_t(B) * width, 0)};
    Image in{rowBytes, height, {}};
    for (uint32_t j = 0; j < width; ++j)
        for (uint32_t c = 0; c < 8 * B; ++c) {
            const uint32_t y = 8 * B - 1 - c;
            bool v = false;
            if (y < height) v = (bits[size_t(y) * rowBytes + j / 8] >> (7 - j % 8)) & 1;
            out.Set(c, j, v);
        }
    return out;
}

Image Turn180(const Image& image) {
    Image out{image.rowBytes, image.rows, std::vector<uint8_t>(image.bytes.size(), 0)};
    const uint32_t dots = image.rowBytes * 8;
    for (uint32_t y = 0; y < image.rows; ++y)
        for (uint32_t x = 0; x < dots; ++x) out.Set(x, y, image.Dot(dots - 1 - x, image.rows - 1 - y));
    return out;
}

namespace {
const std::string kLines =
    "\r\n \t\tDIRECTION 0,0\r\n \t\tREFERENCE ";
const std::string kMiddle =
    "\r\n \t\tOFFSET 0 mm\r\n \t\tSET PEEL OFF\r\n \t\tSET CUTTER OFF\r\n \t\tSET PARTIAL_CUTTER OFF\r\n"
    " \t\tSET TEAR ON\r\n \t\tCLS\r\n        ";
}  // namespace

std::string BlankLabel() { return "SIZE 10 mm, 10 mm" + kLines + "0,0" + kMiddle + "PRINT 1,1\r\n"; }

std::string LabelJob(const Settings& s, const Image& image) {
    const int64_t S = image.rowBytes, R = image.rows;
    const int64_t h = s.horizontalOffset, v = int64_t(s.verticalOffset) * 8;
    if (h >= S || v >= R) return BlankLabel();

    // Columns and rows kept after the offsets.
    const int64_t firstCol = (h > 0 && s.horizontalShiftLeft == 1) ? h : 0;
    const int64_t cols = S - h;
    int64_t firstRow = 0, lastRow = R - 1;   // rows that may be sent
    int64_t height = R;                      // rows the label is measured by
    if (v > 0) {
        if (s.verticalShiftUp == 1) {
            firstRow = v;
            height = R - v;
        } else {
            lastRow = R - 1 - v;
        }
    }
    // Trailing rows that are blank across the kept columns go; so does their height.
    while (lastRow >= firstRow) {
        bool blank = true;
        for (int64_t c = firstCol; c < firstCol + cols; ++c)
            if (image.bytes[size_t(lastRow * S + c)] != 0xFF) blank = false;
        if (!blank) break;
        --lastRow;
        --height;
    }
    const int64_t sent = lastRow - firstRow + 1;
    // More than eight rows left out of the height add a millimetre.
    const int64_t mm = height / 8 + (R > height + 8 ? 1 : 0);
    const int64_t refX = s.horizontalShiftLeft == 1 ? 0 : h * 8;
    const int64_t refY = s.verticalShiftUp == 1 ? 0 : v;

    std::string job = "SIZE " + std::to_string(S) + " mm, " + std::to_string(mm) + " mm" + kLines +
                      std::to_string(refX) + "," + std::to_string(refY) + kMiddle + "BITMAP 0,0," +
                      std::to_string(cols) + "," + std::to_string(sent) + ",1,";
    for (int64_t r = firstRow; r <= lastRow; ++r)
        job.append(reinterpret_cast<const char*>(&image.bytes[size_t(r * S + firstCol)]), size_t(cols));
    return job + "PRINT 1,1\r\n";
}

std::optional<std::string> ProcessBand(const Settings& s, bool portrait, const Band& band) {
    if (s.textMode == 1) return std::string();
    if (band.blank) return BlankLabel();
    if (band.height <= 0 || band.bits.empty()) return std::nullopt;
    const uint32_t S = band.sizeImage / uint32_t(band.height);
    if (S == 0) return std::nullopt;
    Image image{S, uint32_t(band.height),
                std::vector<uint8_t>(band.bits.begin(), band.bits.begin() + size_t(S) * uint32_t(band.height))};
    if (!portrait) {
        if (band.width <= 0 || uint64_t(band.width) > uint64_t(S) * 8) return std::nullopt;
        image = Turn90(band.bits.data(), uint32_t(band.width), uint32_t(band.height), S);
    }
    if (s.rotation == 3) image = Turn180(image);
    return LabelJob(s, image);
}

}  // namespace ref
