// Reference frames as PNG files, through gdk-pixbuf.
#include <cstring>
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "support/gl_context.h"

namespace {
void say(std::string* error, const std::string& text) {
    if (error != nullptr) {
        *error = text;
    }
}
} // namespace

bool savePng(const Image& image, const std::string& path, std::string* error) {
    if (image.width <= 0 || image.height <= 0 ||
        image.rgba.size() != std::size_t(image.width) * image.height * 4) {
        say(error, "savePng: empty or malformed image");
        return false;
    }
    // The pixbuf borrows the image's bytes; it is saved and dropped before the image can change.
    GdkPixbuf* pixbuf =
        gdk_pixbuf_new_from_data(image.rgba.data(), GDK_COLORSPACE_RGB, TRUE, 8, image.width,
                                 image.height, image.width * 4, nullptr, nullptr);
    GError* failure = nullptr;
    const gboolean saved = gdk_pixbuf_save(pixbuf, path.c_str(), "png", &failure, nullptr);
    g_object_unref(pixbuf);
    if (!saved) {
        say(error, std::string("savePng: ") + (failure != nullptr ? failure->message : path));
        g_clear_error(&failure);
        return false;
    }
    return true;
}

bool loadPng(const std::string& path, Image& image, std::string* error) {
    GError* failure = nullptr;
    GdkPixbuf* loaded = gdk_pixbuf_new_from_file(path.c_str(), &failure);
    if (loaded == nullptr) {
        say(error, std::string("loadPng: ") + (failure != nullptr ? failure->message : path));
        g_clear_error(&failure);
        return false;
    }
    GdkPixbuf* rgba = gdk_pixbuf_add_alpha(loaded, FALSE, 0, 0, 0);
    g_object_unref(loaded);
    if (rgba == nullptr || gdk_pixbuf_get_bits_per_sample(rgba) != 8) {
        say(error, "loadPng: not an 8-bit image: " + path);
        if (rgba != nullptr) {
            g_object_unref(rgba);
        }
        return false;
    }
    image.width = gdk_pixbuf_get_width(rgba);
    image.height = gdk_pixbuf_get_height(rgba);
    image.rgba.resize(std::size_t(image.width) * image.height * 4);
    const guchar* source = gdk_pixbuf_read_pixels(rgba);
    const int stride = gdk_pixbuf_get_rowstride(rgba);
    const std::size_t row = std::size_t(image.width) * 4;
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(&image.rgba[std::size_t(y) * row], source + std::size_t(y) * stride, row);
    }
    g_object_unref(rgba);
    return true;
}
