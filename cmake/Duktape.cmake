# The embedded JavaScript engine: Debian's duktape source (package duktape-dev),
# built once as the static library quenta_duktape and shared by every folder
# that runs scripts (proxy auto-configuration in lib/http, page scripts of the
# web view in platform/ui). The execution time-out check is switched on: a heap
# whose udata (the fourth argument of duk_create_heap) is a quenta_duk_guard is
# stopped when the guard's `expired` says so; a heap without udata runs on.
# Each folder that makes heaps puts its own guard there (lib/http's PAC time
# limit, the web view's script budget), so no folder owns the check.
set(QUENTA_DUKTAPE_SOURCE_DIR "/usr/share/duktape" CACHE PATH "Folder with duktape.c, duktape.h, duk_config.h")

function(quenta_duktape)
  if(TARGET quenta_duktape)
    return()
  endif()
  set(duk_out "${CMAKE_BINARY_DIR}/duktape")
  file(MAKE_DIRECTORY "${duk_out}")
  configure_file("${QUENTA_DUKTAPE_SOURCE_DIR}/duktape.c" "${duk_out}/duktape.c" COPYONLY)
  configure_file("${QUENTA_DUKTAPE_SOURCE_DIR}/duktape.h" "${duk_out}/duktape.h" COPYONLY)
  file(READ "${QUENTA_DUKTAPE_SOURCE_DIR}/duk_config.h" duk_config)
  string(REPLACE "#undef DUK_USE_EXEC_TIMEOUT_CHECK"
    "typedef struct quenta_duk_guard { int (*expired)(struct quenta_duk_guard *self); } quenta_duk_guard;\n#if defined(__cplusplus)\nextern \"C\" int quenta_duk_exec_timeout_check(void *udata);\n#else\nextern int quenta_duk_exec_timeout_check(void *udata);\n#endif\n#define DUK_USE_EXEC_TIMEOUT_CHECK(udata) quenta_duk_exec_timeout_check(udata)"
    duk_config "${duk_config}")
  string(REPLACE "#undef DUK_USE_INTERRUPT_COUNTER" "#define DUK_USE_INTERRUPT_COUNTER" duk_config "${duk_config}")
  file(WRITE "${duk_out}/duk_config.h.new" "${duk_config}")
  configure_file("${duk_out}/duk_config.h.new" "${duk_out}/duk_config.h" COPYONLY)
  file(WRITE "${duk_out}/timeout_default.c.new"
    "/* The time-out check: asks the heap's guard, if it has one. */\n"
    "#include \"duktape.h\"\n"
    "int quenta_duk_exec_timeout_check(void *udata) {\n"
    "  quenta_duk_guard *guard = (quenta_duk_guard *)udata;\n"
    "  return guard && guard->expired ? guard->expired(guard) : 0;\n"
    "}\n")
  configure_file("${duk_out}/timeout_default.c.new" "${duk_out}/timeout_default.c" COPYONLY)
  add_library(quenta_duktape STATIC "${duk_out}/duktape.c" "${duk_out}/timeout_default.c")
  set_source_files_properties("${duk_out}/duktape.c" "${duk_out}/timeout_default.c"
    PROPERTIES COMPILE_OPTIONS "-w;-fno-sanitize=all;-O2")
  target_include_directories(quenta_duktape SYSTEM PUBLIC "${duk_out}")
  target_link_libraries(quenta_duktape PUBLIC m)
endfunction()
