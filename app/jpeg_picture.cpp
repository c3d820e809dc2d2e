#include "app/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>  // jpeglib.h needs FILE
#include <fstream>
#include <sstream>

#include <jpeglib.h>

namespace quavrel {
namespace {

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

// libjpeg's default handler calls exit(); this one returns to decodeInto instead.
[[noreturn]] void errorExit(j_common_ptr cinfo)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    cinfo->err->format_message(cinfo, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings are counted (num_warnings) and their text kept, never printed.
void emitMessage(j_common_ptr cinfo, int level)
{
    auto* manager = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0) {
        if (cinfo->err->num_warnings == 0)
            cinfo->err->format_message(cinfo, manager->message);
        ++cinfo->err->num_warnings;
    }
}

// Nothing with a destructor may live in this frame: longjmp skips destructors. The
// output vector belongs to the caller's frame.
bool decodeInto(const unsigned char* data, unsigned long size, JpegPicture* picture,
                std::vector<unsigned char>* rgb, char* message)
{
    jpeg_decompress_struct cinfo;
    ErrorManager manager;
    cinfo.err = jpeg_std_error(&manager.pub);
    manager.pub.error_exit = errorExit;
    manager.pub.emit_message = emitMessage;
    manager.message[0] = '\0';
    if (setjmp(manager.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.message);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    picture->width = static_cast<int>(cinfo.output_width);
    picture->height = static_cast<int>(cinfo.output_height);
    picture->components = cinfo.num_components;
    picture->progressive = cinfo.progressive_mode != 0;
    const size_t stride = size_t(cinfo.output_width) * 3;
    rgb->assign(stride * cinfo.output_height, 0);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = rgb->data() + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    long warnings = manager.pub.num_warnings;
    std::snprintf(message, JMSG_LENGTH_MAX, "%s", manager.message);
    jpeg_destroy_decompress(&cinfo);
    return warnings == 0;
}

}  // namespace

QImage JpegPicture::toImage() const
{
    if (width <= 0 || height <= 0 || rgb.size() < size_t(width) * height * 3)
        return {};
    QImage image(rgb.data(), width, height, width * 3, QImage::Format_RGB888);
    return image.copy();
}

bool decodeJpeg(const std::string& bytes, JpegPicture& picture, std::string& error)
{
    picture = JpegPicture{};
    if (bytes.empty()) {
        error = "Empty JPEG image";
        return false;
    }
    char message[JMSG_LENGTH_MAX] = "";
    std::vector<unsigned char> rgb;
    bool ok = decodeInto(reinterpret_cast<const unsigned char*>(bytes.data()),
                         static_cast<unsigned long>(bytes.size()), &picture, &rgb, message);
    if (!ok) {
        error = message[0] ? message : "Invalid JPEG image";
        picture = JpegPicture{};
        return false;
    }
    picture.rgb = std::move(rgb);
    return true;
}

bool loadJpegFile(const std::string& path, JpegPicture& picture, std::string& error)
{
    picture = JpegPicture{};
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "Cannot open " + path;
        return false;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        error = "Cannot read " + path;
        return false;
    }
    return decodeJpeg(content.str(), picture, error);
}

}  // namespace quavrel
