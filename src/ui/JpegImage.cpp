#include "ui/JpegImage.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE declared first

#include <jpeglib.h>

namespace vireon {

namespace {

// Pictures of the forms are small; a header that claims more than this is
// corrupt or hostile, and we refuse it before allocating anything.
constexpr qint64 MaxPixelCount = 8192LL * 8192LL;

// libjpeg reports errors by calling error_exit, which must not return. The only
// way out of its C frames is a longjmp back into DecodeInto.
struct ErrorTrap {
    jpeg_error_mgr Manager; // first member: libjpeg hands us a pointer to it
    std::jmp_buf Jump;
};

[[noreturn]] void JumpOut(j_common_ptr Info) {
    auto* Trap = reinterpret_cast<ErrorTrap*>(Info->err);
    std::longjmp(Trap->Jump, 1);
}

// Warnings mean corrupt data (a premature end of file above all, which libjpeg
// would otherwise paper over with grey rows): treat them like errors. Trace
// messages (level 1 and up) are ignored.
void FailOnWarning(j_common_ptr Info, int Level) {
    if (Level < 0) {
        JumpOut(Info);
    }
}

void PrintNothing(j_common_ptr) {}

void CopyRow(const JSAMPLE* Source, int Width, QRgb* Dest) {
    for (int X = 0; X < Width; ++X, Source += 3) {
        Dest[X] = qRgb(Source[0], Source[1], Source[2]);
    }
}

bool FitsLimits(const jpeg_decompress_struct& Info) {
    return Info.output_width > 0 && Info.output_height > 0 &&
           qint64(Info.output_width) * qint64(Info.output_height) <= MaxPixelCount;
}

// Between setjmp and a possible longjmp this function creates no object with a
// destructor: Out belongs to the caller and the row buffer to libjpeg's pool,
// which jpeg_destroy_decompress frees on both paths.
bool DecodeInto(const unsigned char* Data, unsigned long Size, QImage& Out) {
    jpeg_decompress_struct Info;
    ErrorTrap Trap;
    Info.err = jpeg_std_error(&Trap.Manager);
    Trap.Manager.error_exit = JumpOut;
    Trap.Manager.emit_message = FailOnWarning;
    Trap.Manager.output_message = PrintNothing;
    jpeg_create_decompress(&Info);

    if (setjmp(Trap.Jump) != 0) {
        jpeg_destroy_decompress(&Info);
        return false;
    }

    jpeg_mem_src(&Info, Data, Size);
    jpeg_read_header(&Info, TRUE);
    Info.out_color_space = JCS_RGB;
    jpeg_calc_output_dimensions(&Info);
    if (!FitsLimits(Info)) {
        jpeg_destroy_decompress(&Info);
        return false;
    }
    jpeg_start_decompress(&Info);

    Out = QImage(int(Info.output_width), int(Info.output_height), QImage::Format_RGB32);
    if (Out.isNull()) {
        jpeg_destroy_decompress(&Info);
        return false;
    }
    JSAMPARRAY Row = (*Info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&Info), JPOOL_IMAGE,
                                               Info.output_width * 3, 1);
    while (Info.output_scanline < Info.output_height) {
        const int Line = int(Info.output_scanline);
        if (jpeg_read_scanlines(&Info, Row, 1) != 1) {
            jpeg_destroy_decompress(&Info);
            return false;
        }
        CopyRow(Row[0], int(Info.output_width), reinterpret_cast<QRgb*>(Out.scanLine(Line)));
    }
    jpeg_finish_decompress(&Info);
    jpeg_destroy_decompress(&Info);
    return true;
}

} // namespace

QImage DecodeJpeg(const QByteArray& Data) {
    if (Data.isEmpty()) {
        return {};
    }
    QImage Picture;
    const auto* Bytes = reinterpret_cast<const unsigned char*>(Data.constData());
    if (!DecodeInto(Bytes, static_cast<unsigned long>(Data.size()), Picture)) {
        return {};
    }
    return Picture;
}

} // namespace vireon
