#include "hostapp/paint/jpeg_writer.h"

// The JPEG library's header needs FILE and size_t declared first.
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "hostapp/paint/image_library.h"

namespace hostapp {

namespace {

// Best quality short of near-lossless, colour at full resolution: painted detail keeps its hue.
constexpr int kQuality = 95;

struct Errors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void onError(j_common_ptr info) {
  auto* errors = reinterpret_cast<Errors*>(info->err);
  (*info->err->format_message)(info, errors->message);
  std::longjmp(errors->jump, 1);
}

// Warnings stay silent: a file the encoder finished is a good file.
void onMessage(j_common_ptr) {}

struct Sink {
  jpeg_destination_mgr base;
  AtomicFile* file;
  uint64_t at;
  bool outOfMemory;
  JOCTET buffer[1 << 16];
};

// Hands `bytes` of the buffer to the file. A failed write is kept by the file and reported when
// it is committed; running out of memory on the way ends the encoding.
void flush(j_compress_ptr c, size_t bytes) {
  auto* sink = reinterpret_cast<Sink*>(c->dest);
  try {
    sink->file->writeAt(sink->buffer, bytes, sink->at);
  } catch (...) {
    sink->outOfMemory = true;
  }
  sink->at += bytes;
  sink->base.next_output_byte = sink->buffer;
  sink->base.free_in_buffer = sizeof sink->buffer;
  // Outside the handler: the jump leaves no exception behind.
  if (sink->outOfMemory) {
    c->err->msg_code = JERR_OUT_OF_MEMORY;
    (*c->err->error_exit)(reinterpret_cast<j_common_ptr>(c));
  }
}

void startSink(j_compress_ptr c) {
  auto* sink = reinterpret_cast<Sink*>(c->dest);
  sink->base.next_output_byte = sink->buffer;
  sink->base.free_in_buffer = sizeof sink->buffer;
}

boolean emptySink(j_compress_ptr c) {
  flush(c, sizeof reinterpret_cast<Sink*>(c->dest)->buffer);
  return TRUE;
}

void endSink(j_compress_ptr c) {
  auto* sink = reinterpret_cast<Sink*>(c->dest);
  flush(c, sizeof sink->buffer - sink->base.free_in_buffer);
}

// The encoding itself, where the library may jump back to. Nothing here that needs destroying
// lives past the jump point but the encoder, which the jump's landing destroys.
bool encode(Sink& sink, Errors& errors, const ImageFormat& format, SampleType rowType,
            const RowSource& row, ImageLibrary* library, uint8_t* bytes) {
  jpeg_compress_struct c{};
  c.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = onError;
  errors.base.output_message = onMessage;
  if (setjmp(errors.jump)) {
    jpeg_destroy_compress(&c);
    return false;
  }
  jpeg_create_compress(&c);
  c.dest = &sink.base;
  c.image_width = static_cast<JDIMENSION>(format.width);
  c.image_height = static_cast<JDIMENSION>(format.height);
  c.input_components = format.channels;
  c.in_color_space = format.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&c);
  jpeg_set_quality(&c, kQuality, TRUE);
  for (int i = 0; i < c.num_components; ++i)
    c.comp_info[i].h_samp_factor = c.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&c, TRUE);
  const int samples = format.width * format.channels;
  for (int32_t y = 0; y < format.height; ++y) {
    const void* given = nullptr;
    try {
      given = row(y);
    } catch (...) {
      jpeg_destroy_compress(&c);
      throw;
    }
    JSAMPROW line = bytes;
    if (rowType == SampleType::kUInt8)
      line = const_cast<JSAMPROW>(static_cast<const JSAMPLE*>(given));
    else
      library->toBytes(rowType, given, bytes, static_cast<size_t>(samples));
    jpeg_write_scanlines(&c, &line, 1);
  }
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return true;
}

}  // namespace

bool writeJpegRows(AtomicFile& file, const ImageFormat& format, SampleType rowType,
                   const RowSource& row, ImageLibrary* library, std::string& why) {
  if (rowType != SampleType::kUInt8 && !library) {
    why = "there is no image library to round its samples to 8 bits";
    return false;
  }
  if (format.channels != 1 && format.channels != 3) {
    why = "JPEG holds grey or RGB, not " + std::to_string(format.channels) + " channels";
    return false;
  }
  if (format.width <= 0 || format.height <= 0 || format.width > JPEG_MAX_DIMENSION ||
      format.height > JPEG_MAX_DIMENSION) {
    why = "JPEG holds at most " + std::to_string(JPEG_MAX_DIMENSION) + " pixels a side";
    return false;
  }
  // Everything the encoding needs of ours is made before it starts.
  std::vector<uint8_t> bytes(static_cast<size_t>(format.width) * format.channels);
  auto sink = std::make_unique<Sink>();
  sink->base.init_destination = startSink;
  sink->base.empty_output_buffer = emptySink;
  sink->base.term_destination = endSink;
  sink->file = &file;
  sink->at = 0;
  sink->outOfMemory = false;
  Errors errors{};
  if (encode(*sink, errors, format, rowType, row, library, bytes.data())) return true;
  why = sink->outOfMemory || errors.base.msg_code == JERR_OUT_OF_MEMORY
            ? "the machine ran out of memory"
            : errors.message;
  return false;
}

}  // namespace hostapp
