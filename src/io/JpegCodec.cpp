#include "io/JpegCodec.h"

#include <algorithm>
#include <csetjmp>
#include <jerror.h>
#include <jpeglib.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace volumira {

BgraImage::~BgraImage() = default;

namespace {

// libjpeg reports fatal errors through a routine that must not return; we jump back to the
// codec function, which destroys the codec and throws the library's own message. Only libjpeg's
// C frames lie between the setjmp and the jump, so no C++ destructor is skipped.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onFatalError(j_common_ptr codec) {
    auto* manager = reinterpret_cast<ErrorManager*>(codec->err);
    manager->pub.format_message(codec, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings mean corrupt or truncated data (libjpeg would otherwise pad the image with grey):
// for a volume slice or an image tile that is a broken file, so it fails like a fatal error.
void onMessage(j_common_ptr codec, int level) {
    if (level < 0) onFatalError(codec);
}

jpeg_error_mgr* installErrorManager(ErrorManager& manager) {
    jpeg_error_mgr* err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = onFatalError;
    manager.pub.emit_message = onMessage;
    manager.message[0] = '\0';
    return err;
}

// Source over one memory block, presented whole. When the decoder asks for more, the data is
// truncated: we hand it an end-of-image marker (never bytes outside the block) and warn, which
// onMessage turns into an error.
const JOCTET kEndOfImage[2] = {0xFF, JPEG_EOI};

void initSource(j_decompress_ptr) {}
void termSource(j_decompress_ptr) {}

boolean fillInputBuffer(j_decompress_ptr codec) {
    WARNMS(codec, JWRN_JPEG_EOF);
    codec->src->next_input_byte = kEndOfImage;
    codec->src->bytes_in_buffer = sizeof kEndOfImage;
    return TRUE;
}

void skipInputData(j_decompress_ptr codec, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = codec->src;
    while (static_cast<std::size_t>(count) > src->bytes_in_buffer) {
        count -= static_cast<long>(src->bytes_in_buffer);
        fillInputBuffer(codec);
    }
    src->next_input_byte += count;
    src->bytes_in_buffer -= static_cast<std::size_t>(count);
}

} // namespace

void encodeGrayJpeg(std::FILE* file, const std::uint8_t* pixels, int width, int height) {
    jpeg_compress_struct codec;
    ErrorManager errors;
    codec.err = installErrorManager(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_compress(&codec);
        throw std::runtime_error(errors.message);
    }
    jpeg_create_compress(&codec);
    jpeg_stdio_dest(&codec, file);
    codec.image_width = static_cast<JDIMENSION>(width);
    codec.image_height = static_cast<JDIMENSION>(height);
    codec.input_components = 1;
    codec.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&codec);
    jpeg_set_quality(&codec, 80, TRUE);
    jpeg_start_compress(&codec, TRUE);
    while (codec.next_scanline < codec.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<std::size_t>(codec.next_scanline) * width);
        jpeg_write_scanlines(&codec, &row, 1);
    }
    jpeg_finish_compress(&codec);
    jpeg_destroy_compress(&codec);
}

namespace {

void useMemorySource(j_decompress_ptr codec, jpeg_source_mgr& source, const std::uint8_t* bytes,
                     std::size_t length) {
    source.init_source = initSource;
    source.fill_input_buffer = fillInputBuffer;
    source.skip_input_data = skipInputData;
    source.resync_to_restart = jpeg_resync_to_restart;
    source.term_source = termSource;
    source.next_input_byte = bytes;
    source.bytes_in_buffer = length;
    codec->src = &source;
}

// Decodes straight into the caller's rows (stride bytes apart), as many as the decoder offers per
// call; rawBlocks takes whole 8-row block rows of the inverse DCT's output instead.
void readAllRows(jpeg_decompress_struct& codec, std::uint8_t* base, std::size_t stride, bool rawBlocks) {
    JSAMPROW rows[16];
    JSAMPARRAY planes[1] = {rows};
    while (codec.output_scanline < codec.output_height) {
        const JDIMENSION first = codec.output_scanline;
        const JDIMENSION count = rawBlocks ? DCTSIZE : std::min<JDIMENSION>(16, codec.output_height - first);
        for (JDIMENSION r = 0; r < count; ++r)
            rows[r] = base + (first + r) * stride;
        if (rawBlocks)
            jpeg_read_raw_data(&codec, planes, DCTSIZE);
        else
            jpeg_read_scanlines(&codec, rows, count);
    }
}

// One grey decoder for both sources: a stdio file, or a memory block when file is null.
void decodeGray(std::FILE* file, const std::uint8_t* bytes, std::size_t length, std::uint8_t* destination,
                int width, int height) {
    jpeg_decompress_struct codec;
    ErrorManager errors;
    jpeg_source_mgr source;
    codec.err = installErrorManager(errors);
    const char* mismatch = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&codec);
        throw std::runtime_error(errors.message);
    }
    jpeg_create_decompress(&codec);
    if (file)
        jpeg_stdio_src(&codec, file);
    else
        useMemorySource(&codec, source, bytes, length);
    jpeg_read_header(&codec, TRUE);
    // A one-component image whose sides are whole 8 x 8 blocks can take the inverse DCT's output
    // directly, skipping the decoder's final row copy; the pixels are the same.
    const bool wholeBlocks = codec.num_components == 1 && codec.jpeg_color_space == JCS_GRAYSCALE &&
                             codec.comp_info[0].h_samp_factor == 1 && codec.comp_info[0].v_samp_factor == 1 &&
                             codec.image_width == static_cast<JDIMENSION>(width) &&
                             codec.image_height == static_cast<JDIMENSION>(height) && width % DCTSIZE == 0 &&
                             height % DCTSIZE == 0;
    codec.raw_data_out = wholeBlocks ? TRUE : FALSE;
    jpeg_start_decompress(&codec);
    if (codec.output_components != 1 || codec.out_color_space != JCS_GRAYSCALE)
        mismatch = "Unexpected image format.";
    else if (codec.output_width != static_cast<JDIMENSION>(width) ||
             codec.output_height != static_cast<JDIMENSION>(height))
        mismatch = "Unexpected image size.";
    if (mismatch) {
        jpeg_destroy_decompress(&codec);
        throw std::runtime_error(mismatch);
    }
    readAllRows(codec, destination, static_cast<std::size_t>(width), wholeBlocks);
    jpeg_finish_decompress(&codec);
    jpeg_destroy_decompress(&codec);
}

} // namespace

void decodeGrayJpeg(std::FILE* file, std::uint8_t* destination, int width, int height) {
    decodeGray(file, nullptr, 0, destination, width, height);
}

void decodeGrayJpeg(const std::uint8_t* bytes, std::size_t length, std::uint8_t* destination, int width,
                    int height) {
    if (!bytes || length == 0) throw std::runtime_error("Empty JPEG data.");
    decodeGray(nullptr, bytes, length, destination, width, height);
}

bool decodeJpegToBgra(const std::uint8_t* bytes, std::size_t length, BgraImage& image) {
    if (!bytes || length == 0) return false;
    jpeg_decompress_struct codec;
    ErrorManager errors;
    jpeg_source_mgr source;
    codec.err = installErrorManager(errors);
    const char* mismatch = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&codec);
        throw std::runtime_error(errors.message);
    }
    jpeg_create_decompress(&codec);
    useMemorySource(&codec, source, bytes, length);
    jpeg_read_header(&codec, TRUE);
    if (codec.num_components != 3 || codec.out_color_space != JCS_RGB)
        mismatch = "Unexpected image format.";
    else if (codec.image_width > static_cast<JDIMENSION>(kMaxJpegSide) ||
             codec.image_height > static_cast<JDIMENSION>(kMaxJpegSide))
        mismatch = "Unexpected image size.";
    if (mismatch) {
        jpeg_destroy_decompress(&codec);
        throw std::runtime_error(mismatch);
    }
    // libjpeg-turbo writes B, G, R, 255 itself, so rows land in the image without a second pass.
    codec.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&codec);
    std::uint8_t* pixels = nullptr;
    try {
        image.setSize(static_cast<int>(codec.output_width), static_cast<int>(codec.output_height));
        pixels = image.pixelBuffer();
    } catch (...) {
        jpeg_destroy_decompress(&codec);
        throw;
    }
    readAllRows(codec, pixels, static_cast<std::size_t>(codec.output_width) * 4, false);
    jpeg_finish_decompress(&codec);
    jpeg_destroy_decompress(&codec);
    return true;
}

} // namespace volumira
