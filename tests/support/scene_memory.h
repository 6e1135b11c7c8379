#pragma once
// Runs a Scene file writer over a temporary file and hands back every byte it wrote.

#include "file_api/vtlscene_api_file.h"

#include <cstdio>
#include <functional>
#include <string>

// The writer is destroyed before the text is read, as the file factory destroys it before
// closing the stream.
inline std::string write_scene(const std::function<void(vtlScene_api_file&)>& calls,
                               bool binary_arrays = false, unsigned writer_flags = 1,
                               bool set_flags = true) {
    // A temporary file, read back after the writer is gone (Windows has no memory streams).
    FILE* stream = std::tmpfile();
    {
        vtlScene_api_file writer(stream, binary_arrays);
        // Binary arrays are switched on and off by the flags as well.
        if (set_flags) writer.set_writer_flags(binary_arrays ? (writer_flags | 2) : writer_flags);
        calls(writer);
    }
    std::string text;
    std::fflush(stream);
    std::rewind(stream);
    char chunk[65536];
    for (size_t got; (got = std::fread(chunk, 1, sizeof chunk, stream)) > 0;)
        text.append(chunk, got);
    std::fclose(stream);
    return text;
}

// Bytes of a binary array block header followed by the given payload.
inline std::string binary_block(char marker, uint32_t count, const void* payload, size_t bytes) {
    std::string block = "\x01\x02\x03";
    block += marker;
    for (int i = 0; i < 4; ++i)
        block += static_cast<char>((count >> (8 * i)) & 0xff);
    block.append(static_cast<const char*>(payload), bytes);
    return block;
}
