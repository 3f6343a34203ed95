// A JPEG file's segments up to its end-of-image marker; or its pixels, as
// libjpeg-turbo decodes them.
#include <csetjmp>
#include <cstdio>
// jpeglib.h wants size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "image/image_formats.h"

namespace nv {

namespace {

constexpr long kMemoryBudget = 256L << 20;

// Markers that stand alone, without a length: RST0-7, SOI, EOI and TEM.
bool StandsAlone(int marker) { return (marker >= 0xD0 && marker <= 0xD9) || marker == 0x01; }

// Start-of-frame markers, which give the size: all of C0-CF but DHT (C4),
// JPG (C8) and DAC (CC).
bool StartsFrame(int marker) {
  return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// The entropy-coded data after a start of scan: up to the first marker
// that is neither a stuffed zero nor a restart. *marker is that marker.
bool SkipScan(ImageInput& in, int* marker) {
  while (in.SkipPast(0xFF)) {
    int next = in.Byte();
    while (next == 0xFF) next = in.Byte();
    if (next < 0) return false;
    if (next != 0x00 && !(next >= 0xD0 && next <= 0xD7)) {
      *marker = next;
      return true;
    }
  }
  return false;
}

}  // namespace

bool JpegStructure(ImageInput& in, ImageFacts* facts) {
  if (!in.Skip(2)) return Broken(facts, EndsEarly(in));
  int marker = -1;
  for (;;) {
    if (marker < 0) {
      const int prefix = in.Byte();
      if (prefix < 0) return Broken(facts, EndsEarly(in));
      if (prefix != 0xFF)
        return Broken(facts, "no marker begins at byte " + std::to_string(in.Offset() - 1));
      do marker = in.Byte();
      while (marker == 0xFF);
      if (marker < 0) return Broken(facts, EndsEarly(in));
    }
    const int current = marker;
    marker = -1;
    if (current == 0xD9) return true;
    if (StandsAlone(current)) continue;
    unsigned char field[7];
    if (in.Read(field, 2) < 2) return Broken(facts, EndsEarly(in));
    const unsigned length = field[0] << 8 | field[1];
    if (length < 2) return Broken(facts, "a segment declares a length below 2");
    size_t read = 0;
    if (StartsFrame(current)) {
      if (length < 7 || (read = in.Read(field, 5)) < 5) return Broken(facts, EndsEarly(in));
      facts->height = field[1] << 8 | field[2];
      facts->width = field[3] << 8 | field[4];
    }
    if (!in.Skip(length - 2 - read)) return Broken(facts, EndsEarly(in));
    if (current == 0xDA && !SkipScan(in, &marker)) return Broken(facts, EndsEarly(in));
  }
}

namespace {

struct JpegErrors {
  jpeg_error_mgr manager;
  std::jmp_buf jump;
  char fault[JMSG_LENGTH_MAX];
  int warnings;
};

void OnError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (errors->warnings == 0) cinfo->err->format_message(cinfo, errors->fault);
  std::longjmp(errors->jump, 1);
}

// A warning is of corrupt data the library got past by guessing: the image
// is broken all the same. The first one is the reason.
void OnMessage(j_common_ptr cinfo, int level) {
  auto* errors = reinterpret_cast<JpegErrors*>(cinfo->err);
  if (level >= 0) return;
  if (errors->warnings++ == 0) cinfo->err->format_message(cinfo, errors->fault);
}

struct JpegSource {
  jpeg_source_mgr manager;
  ImageInput* in;
  JOCTET buffer[16384];
};

void InitSource(j_decompress_ptr) {}
void TermSource(j_decompress_ptr) {}

// Where the file ends, the library is told so and given an end-of-image
// marker, as its own readers do, so that the warning names the fault.
boolean FillInput(j_decompress_ptr cinfo) {
  auto* source = reinterpret_cast<JpegSource*>(cinfo->src);
  size_t got = source->in->Read(source->buffer, sizeof source->buffer);
  if (got == 0) {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    got = 2;
  }
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = got;
  return TRUE;
}

void SkipInput(j_decompress_ptr cinfo, long size) {
  jpeg_source_mgr* source = cinfo->src;
  while (size > static_cast<long>(source->bytes_in_buffer)) {
    size -= static_cast<long>(source->bytes_in_buffer);
    FillInput(cinfo);
  }
  source->next_input_byte += size;
  source->bytes_in_buffer -= size;
}

// Every scanline, scaled to an eighth: the library still reads and checks
// every coefficient, and leaves out most of the arithmetic that makes the
// pixels. libjpeg leaves by longjmp on an error, so nothing here holds what
// a destructor must free.
bool ReadPixels(jpeg_decompress_struct* cinfo, JpegErrors* errors, ImageFacts* facts) {
  if (setjmp(errors->jump)) return false;
  jpeg_read_header(cinfo, TRUE);
  facts->width = cinfo->image_width;
  facts->height = cinfo->image_height;
  cinfo->scale_num = 1;
  cinfo->scale_denom = 8;
  cinfo->dct_method = JDCT_IFAST;
  cinfo->do_fancy_upsampling = FALSE;
  jpeg_start_decompress(cinfo);
  JSAMPARRAY row = cinfo->mem->alloc_sarray(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                            cinfo->output_width * cinfo->output_components, 1);
  while (cinfo->output_scanline < cinfo->output_height) jpeg_read_scanlines(cinfo, row, 1);
  jpeg_finish_decompress(cinfo);
  return true;
}

}  // namespace

bool JpegDecode(ImageInput& in, ImageFacts* facts) {
  jpeg_decompress_struct cinfo;
  JpegErrors errors;
  cinfo.err = jpeg_std_error(&errors.manager);
  errors.manager.error_exit = OnError;
  errors.manager.emit_message = OnMessage;
  errors.warnings = 0;
  errors.fault[0] = '\0';
  jpeg_create_decompress(&cinfo);
  JpegSource source;
  source.in = &in;
  source.manager = {nullptr,   0, InitSource, FillInput, SkipInput, jpeg_resync_to_restart,
                    TermSource};
  cinfo.src = &source.manager;
  // A progressive image holds all its coefficients at once; one too large
  // for the budget is left undecoded rather than called broken.
  cinfo.mem->max_memory_to_use = kMemoryBudget;
  const bool whole = ReadPixels(&cinfo, &errors, facts) && errors.warnings == 0;
  const bool tooLarge = errors.manager.msg_code == JERR_NO_BACKING_STORE;
  jpeg_destroy_decompress(&cinfo);
  return whole || tooLarge || Broken(facts, errors.fault);
}

}  // namespace nv
