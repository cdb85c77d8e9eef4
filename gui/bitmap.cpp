#include "gui/bitmap.h"

#include <cairo.h>

#include <cstring>

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

uint32_t bigEndian32(const unsigned char* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
}

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (length > reader->size - reader->at) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data + reader->at, length);
    reader->at += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

CBitmap::CBitmap(const unsigned char* png, std::size_t size) : png_(png), size_(size) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    if (!png || size < 24 || std::memcmp(png, kPngSignature, 8) != 0 || std::memcmp(png + 12, "IHDR", 4) != 0)
        return;
    const uint32_t w = bigEndian32(png + 16);
    const uint32_t h = bigEndian32(png + 20);
    if (w == 0 || h == 0 || w > 32767 || h > 32767) return;
    width_ = static_cast<CCoord>(w);
    height_ = static_cast<CCoord>(h);
}

CBitmap::CBitmap(const CResourceTable& resources, int32_t resourceId) : CBitmap(resources.find(resourceId)) {}

CBitmap::CBitmap(const CResource* resource)
    : CBitmap(resource ? resource->bytes : nullptr, resource ? resource->size : 0) {}

CBitmap::~CBitmap() {
    if (surface_) cairo_surface_destroy(surface_);
}

cairo_surface_t* CBitmap::surface() {
    if (surface_ || decodeFailed_ || !isLoaded()) return surface_;
    PngReader reader{png_, size_, 0};
    cairo_surface_t* decoded = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(decoded) != CAIRO_STATUS_SUCCESS ||
        cairo_image_surface_get_width(decoded) != width_ || cairo_image_surface_get_height(decoded) != height_) {
        cairo_surface_destroy(decoded);
        decodeFailed_ = true;
        return nullptr;
    }
    surface_ = decoded;
    return surface_;
}
