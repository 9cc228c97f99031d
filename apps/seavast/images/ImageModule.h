// The boundary between the command-line host and its image module (seavast_images.so next to the
// seavast program). The module carries the general image library, whose hundreds of shared
// libraries would otherwise be loaded at every start; seavast opens it only for an image that is not
// a PNG file. Plain C types, so the two sides share no library state.
//
// Pixels: width * height * 4 bytes, rows top to bottom, red, green, blue, alpha.
#pragma once

extern "C" {

// Reads `path` as 8-bit red, green, blue, alpha (gray repeated, a missing alpha opaque) into a block
// from malloc at *pixels, which the caller frees. Images larger than max_side on a side are refused.
// Returns 1, or 0 with a one-line reason in error (error_size bytes).
typedef int (*SeavastImagesReadFn)(const char* path, int max_side, int* width, int* height,
                                   unsigned char** pixels, char* error, int error_size);
// Writes the pixels by the extension of path (.tif, .tiff, .exr as half floats 0..1, any other the
// library knows). Returns 1, or 0 with a one-line reason in error.
typedef int (*SeavastImagesWriteFn)(const char* path, int width, int height, const unsigned char* pixels,
                                    char* error, int error_size);

} // extern "C"

#define SEAVAST_IMAGES_MODULE "seavast_images.so"
#define SEAVAST_IMAGES_READ "seavast_images_read"
#define SEAVAST_IMAGES_WRITE "seavast_images_write"
