#pragma once

// Failure texts of the image records. Tests compare against these very strings.
namespace image::errors {

inline constexpr const char* badBytesPerSample = "Image bytes per sample must be positive";
inline constexpr const char* rowTooLong = "Image row length exceeds 2 GiB";

} // namespace image::errors
