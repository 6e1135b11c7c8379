#pragma once
// Fixed texts of the Scene file reader: keywords it recognises and its error messages.

#include <string_view>

namespace vtl::reader::texts {

// Keywords that open a block when a "{" ends their line.
inline constexpr std::string_view kBlockKeywords[] = {
    "group", "object", "geometry", "animation", "load",     "options", "camera",
    "image", "output", "light",    "accel",     "material", "shader",  "matrix"};

inline constexpr std::string_view kDefine = "#define";
inline constexpr std::string_view kModify = "#modify";
inline constexpr std::string_view kPrint = "#print";
inline constexpr std::string_view kError = "#error";
inline constexpr std::string_view kComment = "//";
inline constexpr std::string_view kVersion = "version";
// Statements written as two words.
inline constexpr std::string_view kReflection = "reflection";
inline constexpr std::string_view kMap = "map";
inline constexpr std::string_view kSet = "set";
inline constexpr std::string_view kTransform = "transform";
// Prefixes of the hexadecimal name form and of byte blobs.
inline constexpr std::string_view kHexPrefix = "xX";
inline constexpr std::string_view kBlobPrefix = "bX";

inline constexpr const char* kUnclosedBlock = "end of file inside a block opened on line ";
inline constexpr const char* kUnmatchedBrace = "\"}\" without an open block";
inline constexpr const char* kUnknownDirective = "unknown directive ";
inline constexpr const char* kDefineNeedsBlock = "\"#define\" or \"#modify\" must open a block";
inline constexpr const char* kExpectedQuote = "expected '\"' after ";
inline constexpr const char* kUnclosedQuote = "string not closed on its line";
inline constexpr const char* kUnclosedText = "text not closed by '\"' at the end of a line";
inline constexpr const char* kBadHex = "odd count or bad digit in a hexadecimal text";
inline constexpr const char* kExpectedComma = "expected ',' after the parameter value";
inline constexpr const char* kUnexpectedChar = "unexpected character ";
inline constexpr const char* kBadToken = "neither a number nor a word: ";
inline constexpr const char* kUnexpectedBrace = "\"{\" not after a block keyword or a shader type";
inline constexpr const char* kUnclosedArray = "end of file inside an array opened on line ";
inline constexpr const char* kEmptyElement = "empty array element";
inline constexpr const char* kBadBinaryMarker = "unknown element marker in a binary array block";
inline constexpr const char* kShortBinary = "binary array block runs past the end of the file";
inline constexpr const char* kBangNeedsShader =
    "\"!\" must be followed by a shader number or shader";
inline constexpr const char* kTooDeep = "blocks, shaders and arrays nested too deeply";
inline constexpr const char* kOutOfMemory = "not enough memory to hold the document";
inline constexpr const char* kCannotOpen = "cannot open the file";
inline constexpr const char* kCannotRead = "cannot read the file";
inline constexpr const char* kIsFolder = "is a folder";

} // namespace vtl::reader::texts
