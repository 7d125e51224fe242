// Fuzzes the document reader: any bytes must be read or refused in one sentence, never crash,
// leak or take memory the file does not account for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <xxhash.h>

#include <cstring>

#include "host/host.h"
#include "hostapp/core/embedded_host.h"
#include "hostapp/docfile/document_file.h"
#include "hostapp/docfile/format.h"
#include "hostapp/scene/document.h"

namespace {
// Well below libFuzzer's memory limit, so that a refusal for memory is seen as a refusal.
constexpr uint64_t kReadBudget = uint64_t(256) << 20;

hostapp::EmbeddedHost& fuzzHost() {
  // Started once: every input is read with the plug-in's scene hooks in place.
  static hostapp::EmbeddedHost* h = [] {
    auto* made = new hostapp::EmbeddedHost();
    std::string error;
    if (!made->loadEntry(&c4d_main, PIGMORA_RES_DIR, error)) __builtin_trap();
    return made;
  }();
  return *h;
}
// Most mutations break a chunk's checksum and stop the reader at once; a copy with every
// checksum made right again lets the fuzzer reach the parsing of each chunk's contents.
std::string withRepairedChecksums(std::string_view in) {
  namespace df = hostapp::docfile;
  std::string out(in);
  size_t at = df::kFileHeaderBytes;
  while (at + df::kChunkHeaderBytes <= out.size()) {
    uint64_t length = 0;
    std::memcpy(&length, out.data() + at + 8, 8);
    const size_t payload = at + df::kChunkHeaderBytes;
    if (length > out.size() - payload || out.size() - payload - length < df::kChunkChecksumBytes)
      break;
    XXH3_state_t* state = XXH3_createState();
    XXH3_64bits_reset(state);
    XXH3_64bits_update(state, out.data() + payload, length);
    XXH3_64bits_update(state, out.data() + at, df::kChunkHeaderBytes);
    const uint64_t sum = XXH3_64bits_digest(state);
    XXH3_freeState(state);
    std::memcpy(out.data() + payload + length, &sum, 8);
    at = payload + length + df::kChunkChecksumBytes;
  }
  return out;
}

void readOnce(std::string_view bytes) {
  std::string error;
  std::unique_ptr<hostapp::DocumentImpl> doc =
      hostapp::readDocument(fuzzHost(), bytes, "fuzz", error, {kReadBudget});
  // A refusal is one sentence naming the document.
  if (!doc && (error.rfind("The document fuzz ", 0) != 0 || error.back() != '.')) __builtin_trap();
  if (doc) {
    // What was read can be written again.
    std::string again;
    if (!hostapp::writeDocument(fuzzHost(), *doc, again, error)) __builtin_trap();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  readOnce(bytes);
  readOnce(withRepairedChecksums(bytes));
  return 0;
}
