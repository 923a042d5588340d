#pragma once
// How the JPEG decoders take the library's errors: the message is kept and
// the decode jumps back to its setjmp; a warning (data that ends early,
// corrupt data) would make up part of the picture, so it is an error like
// any other.

#include <jpeglib.h>

#include <csetjmp>

namespace ui {

struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = "";

    // Makes this the decoder's error handling.
    void attach(jpeg_decompress_struct& cinfo) {
        cinfo.err = jpeg_std_error(&mgr);
        mgr.error_exit = exit;
        mgr.emit_message = emit;
        mgr.output_message = quiet;
    }
    static void exit(j_common_ptr cinfo) {
        auto* err = reinterpret_cast<JpegError*>(cinfo->err);
        (*cinfo->err->format_message)(cinfo, err->message);
        longjmp(err->jump, 1);
    }
    static void emit(j_common_ptr cinfo, int level) {
        if (level < 0) exit(cinfo);
    }
    static void quiet(j_common_ptr) {}
};

}  // namespace ui
