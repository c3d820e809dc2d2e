#pragma once
// Decodes JPEG pictures with libjpeg itself (not Qt's image plugins), for the splash.
// A broken picture is a failure, not a crash: libjpeg's errors and its warnings (a
// truncated file only warns) both make decoding fail with libjpeg's message.
#include <QImage>
#include <string>
#include <vector>

namespace quavrel {

struct JpegPicture {
    int width = 0;
    int height = 0;
    int components = 0;       // colour components stored in the file
    bool progressive = false;
    std::vector<unsigned char> rgb;   // width * height * 3 bytes, top row first

    QImage toImage() const;   // a deep copy in Format_RGB888
};

// False, with a reason in `error`, when the bytes are not a clean JPEG picture.
bool decodeJpeg(const std::string& bytes, JpegPicture& picture, std::string& error);
// The same for a file; a missing or unreadable file fails too.
bool loadJpegFile(const std::string& path, JpegPicture& picture, std::string& error);

}  // namespace quavrel
