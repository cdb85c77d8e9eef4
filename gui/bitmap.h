// A PNG image held in memory. The size is read from the PNG header at once; the pixels are decoded the
// first time the bitmap is drawn, so that an effect can create its editor without paying for its art.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gui/geometry.h"
#include "gui/resource.h"

typedef struct _cairo_surface cairo_surface_t;

class CBitmap {
public:
    // The bytes must outlive the bitmap (resources are static data).
    CBitmap(const unsigned char* png, std::size_t size);
    CBitmap(const CResourceTable& resources, int32_t resourceId);
    ~CBitmap();
    CBitmap(const CBitmap&) = delete;
    CBitmap& operator=(const CBitmap&) = delete;

    // 0 x 0 when the bytes are not a PNG image.
    CCoord getWidth() const { return width_; }
    CCoord getHeight() const { return height_; }
    bool isLoaded() const { return width_ > 0 && height_ > 0; }

    // The decoded pixels (premultiplied ARGB), or null when they cannot be decoded.
    cairo_surface_t* surface();

private:
    explicit CBitmap(const CResource* resource);

    const unsigned char* png_ = nullptr;
    std::size_t size_ = 0;
    CCoord width_ = 0;
    CCoord height_ = 0;
    cairo_surface_t* surface_ = nullptr;
    bool decodeFailed_ = false;
};
