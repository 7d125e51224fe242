// The shape of a document file: a file header, then chunks, each with its type, flags, length
// and checksum. docs/document-format.md describes the format for people.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hostapp::docfile {

// Like PNG's, the signature catches files mangled as text: a high byte, CR LF, and ^Z.
constexpr unsigned char kMagic[8] = {0x89, 'P', 'G', 'M', 'D', 0x0D, 0x0A, 0x1A};
// A reader refuses files of a higher major version; a higher minor version only adds chunks
// that older readers may skip.
constexpr uint16_t kVersionMajor = 1;
constexpr uint16_t kVersionMinor = 0;
constexpr size_t kFileHeaderBytes = 16;
constexpr size_t kChunkHeaderBytes = 16;
constexpr size_t kChunkChecksumBytes = 8;

constexpr uint32_t fourcc(const char (&s)[5]) {
  return uint32_t(uint8_t(s[0])) | uint32_t(uint8_t(s[1])) << 8 | uint32_t(uint8_t(s[2])) << 16 |
         uint32_t(uint8_t(s[3])) << 24;
}

// Chunk flags.
constexpr uint32_t kChunkCritical = 1;    // a reader that does not know the type must refuse
constexpr uint32_t kChunkCompressed = 2;  // the payload is a raw length and one zstd frame
constexpr uint32_t kChunkKnownFlags = kChunkCritical | kChunkCompressed;

constexpr uint32_t kChunkInfo = fourcc("INFO");      // the program that wrote the file
constexpr uint32_t kChunkDocument = fourcc("DOCP");  // document parameters
constexpr uint32_t kChunkWorld = fourcc("WRLD");     // world settings the document was made with
constexpr uint32_t kChunkRender = fourcc("RNDR");    // render settings
constexpr uint32_t kChunkObject = fourcc("OBJT");    // one object with its tags, depth first
constexpr uint32_t kChunkMaterial = fourcc("MATL");  // one material with its channels
constexpr uint32_t kChunkTexture = fourcc("TEXR");   // one paint texture
constexpr uint32_t kChunkLayer = fourcc("LAYR");     // one layer of the texture before it
constexpr uint32_t kChunkScene = fourcc("SCNE");     // active object, material selection
constexpr uint32_t kChunkView = fourcc("VIEW");      // the active view and its cameras
constexpr uint32_t kChunkTool = fourcc("TOOL");      // one tool's settings
constexpr uint32_t kChunkPainter = fourcc("PNTR");   // the painter state
constexpr uint32_t kChunkHook = fourcc("HOOK");      // one scene hook's data
constexpr uint32_t kChunkEnd = fourcc("DEND");       // the end of the document

// Payloads above this size are compressed.
constexpr size_t kCompressAbove = 4096;
// Layers are stored in blocks of whole rows of about this many bytes.
constexpr size_t kLayerBlockBytes = size_t(1) << 20;
// A zstd block holds at most 128 KiB and takes at least a 3-byte header, so no compressed data
// stands for more than this many bytes per stored byte; a file claiming more lies.
constexpr uint64_t kMaxExpansion = (uint64_t(128) << 10) / 3;
// Nested settings containers deeper than this are refused.
constexpr int kMaxSettingsDepth = 32;
// Textures, layers and previews are at most this wide and high.
constexpr int32_t kMaxImageSide = 65536;

}  // namespace hostapp::docfile
