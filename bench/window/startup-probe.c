/* startup-probe: a library preloaded into the window (LD_PRELOAD) by bench/window-peers.sh to
 * see where its time goes before the first picture, without changing the program. It stands
 * in front of a few functions of the C library, Qt, XCB, fontconfig, FreeType and libjpeg,
 * calls the real ones and writes one line for each call it times to the file that
 * STARTUP_PROBE_LOG names:
 *
 *   EVENT START_MS END_MS CPU_START_MS CPU_END_MS [DETAIL]
 *
 * in milliseconds since the exec of the window (the poller shown.c puts the time of its fork,
 * CLOCK_MONOTONIC in nanoseconds, in SHOWN_START_NS), and the process's CPU time (all its
 * threads, CLOCK_PROCESS_CPUTIME_ID) at the start and the end. Events:
 *   main            the program's main() is entered (the loader, the libraries' constructors)
 *   qapplication    QApplication's constructor (platform plugin, X connection, ...)
 *   exec            QApplication::exec() entered (END_MS = START_MS)
 *   dlopen          a library loaded at run time (DETAIL: its file name)
 *   xcb_connect     the connection to the X server
 *   fonts           a call into fontconfig (FcInit, FcFontList, FcFontSort, FcFontMatch,
 *                   FcConfigSubstitute) or FreeType (FT_Open_Face, FT_New_Face)
 *   open            the picture file opened (its name ends with STARTUP_PROBE_FILE) ... closed
 *   jpeg            jpeg_read_header ... jpeg_finish_decompress or jpeg_destroy_decompress
 *   map             the first xcb_map_window
 *   put             every xcb_shm_put_image / xcb_put_image (the window's pixels sent)
 * Only calls made through the dynamic linker are seen (those between libraries).
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

static int log_fd = -1;
static double origin_ms;
static const char* picture; /* the suffix of the picture file's name */
static int picture_fd = -1;
typedef struct {
    double wall, cpu; /* ms */
} stamp;
static stamp picture_open;
static __thread int depth; /* fonts: nested calls count once */

static double now_ms(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec * 1e3 + (double)t.tv_nsec * 1e-6;
}

static stamp now(void) {
    struct timespec c;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &c);
    const stamp s = {now_ms(), (double)c.tv_sec * 1e3 + (double)c.tv_nsec * 1e-6};
    return s;
}

static void note(const char* event, stamp start, stamp end, const char* detail) {
    if (log_fd < 0) return;
    char line[512];
    const int n = snprintf(line, sizeof line, "%s %.3f %.3f %.3f %.3f %s\n", event, start.wall - origin_ms,
                           end.wall - origin_ms, start.cpu, end.cpu, detail ? detail : "");
    if (n > 0) (void)!write(log_fd, line, (size_t)(n < (int)sizeof line ? n : (int)sizeof line - 1));
}

__attribute__((constructor)) static void probe_start(void) {
    const char* path = getenv("STARTUP_PROBE_LOG");
    const char* start = getenv("SHOWN_START_NS");
    picture = getenv("STARTUP_PROBE_FILE");
    origin_ms = start ? (double)strtoull(start, NULL, 10) * 1e-6 : now_ms();
    if (path) log_fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    note("probe", now(), now(), NULL);
}

/* The next definition of a symbol: in the libraries loaded at start, or else in a library that
   a plugin brought in (outside the global scope, so RTLD_NEXT does not see it). */
static void* next_symbol(const char* name, const char* library) {
    void* symbol = dlsym(RTLD_NEXT, name);
    if (!symbol && library) {
        static void* (*real_open)(const char*, int);
        if (!real_open) real_open = (void* (*)(const char*, int))dlsym(RTLD_NEXT, "dlopen");
        void* handle = real_open(library, RTLD_LAZY | RTLD_NOLOAD);
        if (handle) symbol = dlsym(handle, name);
    }
    if (!symbol) {
        fprintf(stderr, "startup-probe: %s not found\n", name);
        abort();
    }
    return symbol;
}

#define REAL(name) static __typeof__(name)* real_##name; if (!real_##name) real_##name = (__typeof__(name)*)dlsym(RTLD_NEXT, #name)

/* --- main ------------------------------------------------------------------------------------ */

static int (*program_main)(int, char**, char**);
static int probe_main(int argc, char** argv, char** env) {
    const stamp t = now();
    note("main", t, t, NULL);
    return program_main(argc, argv, env);
}

int __libc_start_main(int (*main)(int, char**, char**), int argc, char** argv, void (*init)(void),
                      void (*fini)(void), void (*rtld_fini)(void), void* stack_end) {
    int (*real)(int (*)(int, char**, char**), int, char**, void (*)(void), void (*)(void), void (*)(void), void*) =
        (int (*)(int (*)(int, char**, char**), int, char**, void (*)(void), void (*)(void), void (*)(void), void*))dlsym(
            RTLD_NEXT, "__libc_start_main");
    program_main = main;
    return real(probe_main, argc, argv, init, fini, rtld_fini, stack_end);
}

/* --- Qt (the mangled names of QApplication::QApplication(int&, char**, int), QApplication::exec()) */

void _ZN12QApplicationC1ERiPPci(void* self, int* argc, char** argv, int flags);
void _ZN12QApplicationC1ERiPPci(void* self, int* argc, char** argv, int flags) {
    static void (*real)(void*, int*, char**, int);
    if (!real) real = (void (*)(void*, int*, char**, int))dlsym(RTLD_NEXT, "_ZN12QApplicationC1ERiPPci");
    const stamp t = now();
    real(self, argc, argv, flags);
    note("qapplication", t, now(), NULL);
}

int _ZN12QApplication4execEv(void);
int _ZN12QApplication4execEv(void) {
    static int (*real)(void);
    if (!real) real = (int (*)(void))dlsym(RTLD_NEXT, "_ZN12QApplication4execEv");
    const stamp t = now();
    note("exec", t, t, NULL);
    return real();
}

/* --- loading at run time ---------------------------------------------------------------------- */

void* dlopen(const char* file, int mode) {
    REAL(dlopen);
    const stamp t = now();
    void* handle = real_dlopen(file, mode);
    const char* base = file ? strrchr(file, '/') : NULL;
    note("dlopen", t, now(), base ? base + 1 : file);
    return handle;
}

/* --- the picture file --------------------------------------------------------------------------- */

static int is_picture(const char* path) {
    if (!picture || !path) return 0;
    const size_t n = strlen(path), m = strlen(picture);
    return n >= m && strcmp(path + n - m, picture) == 0;
}

static int opened(const char* path, int fd, stamp t) {
    if (fd >= 0 && is_picture(path)) picture_fd = fd, picture_open = t;
    return fd;
}

int open(const char* path, int flags, ...) {
    REAL(open);
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list list;
        va_start(list, flags);
        mode = va_arg(list, mode_t);
        va_end(list);
    }
    const stamp t = now();
    return opened(path, real_open(path, flags, mode), t);
}

int open64(const char* path, int flags, ...) {
    REAL(open64);
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list list;
        va_start(list, flags);
        mode = va_arg(list, mode_t);
        va_end(list);
    }
    const stamp t = now();
    return opened(path, real_open64(path, flags, mode), t);
}

int close(int fd) {
    REAL(close);
    if (fd >= 0 && fd == picture_fd) {
        picture_fd = -1;
        const int result = real_close(fd);
        note("open", picture_open, now(), NULL);
        return result;
    }
    return real_close(fd);
}

/* --- libjpeg (the window decodes with it) ------------------------------------------------------ */

static stamp jpeg_start = {-1, -1};

int jpeg_read_header(void* info, int require_image);
int jpeg_read_header(void* info, int require_image) {
    static int (*real)(void*, int);
    if (!real) real = (int (*)(void*, int))dlsym(RTLD_NEXT, "jpeg_read_header");
    if (jpeg_start.wall < 0) jpeg_start = now();
    return real(info, require_image);
}

static void jpeg_done(void) {
    if (jpeg_start.wall < 0) return;
    note("jpeg", jpeg_start, now(), NULL);
    jpeg_start.wall = -1;
}

int jpeg_finish_decompress(void* info);
int jpeg_finish_decompress(void* info) {
    static int (*real)(void*);
    if (!real) real = (int (*)(void*))dlsym(RTLD_NEXT, "jpeg_finish_decompress");
    const int result = real(info);
    jpeg_done();
    return result;
}

void jpeg_destroy_decompress(void* info);
void jpeg_destroy_decompress(void* info) {
    static void (*real)(void*);
    if (!real) real = (void (*)(void*))dlsym(RTLD_NEXT, "jpeg_destroy_decompress");
    real(info);
    jpeg_done();
}

/* --- X ------------------------------------------------------------------------------------------ */

typedef struct {
    unsigned int sequence;
} cookie_t;

void* xcb_connect(const char* name, int* screen);
void* xcb_connect(const char* name, int* screen) {
    static void* (*real)(const char*, int*);
    if (!real) real = (void* (*)(const char*, int*))next_symbol("xcb_connect", "libxcb.so.1");
    const stamp t = now();
    void* connection = real(name, screen);
    note("xcb_connect", t, now(), NULL);
    return connection;
}

cookie_t xcb_map_window(void* c, uint32_t window);
cookie_t xcb_map_window(void* c, uint32_t window) {
    static cookie_t (*real)(void*, uint32_t);
    static int seen;
    if (!real) real = (cookie_t(*)(void*, uint32_t))next_symbol("xcb_map_window", "libxcb.so.1");
    if (!seen++) note("map", now(), now(), NULL);
    return real(c, window);
}

cookie_t xcb_shm_put_image(void* c, uint32_t drawable, uint32_t gc, uint16_t total_width, uint16_t total_height,
                           uint16_t src_x, uint16_t src_y, uint16_t src_width, uint16_t src_height, int16_t dst_x,
                           int16_t dst_y, uint8_t depth_, uint8_t format, uint8_t send_event, uint32_t shmseg,
                           uint32_t offset);
cookie_t xcb_shm_put_image(void* c, uint32_t drawable, uint32_t gc, uint16_t total_width, uint16_t total_height,
                           uint16_t src_x, uint16_t src_y, uint16_t src_width, uint16_t src_height, int16_t dst_x,
                           int16_t dst_y, uint8_t depth_, uint8_t format, uint8_t send_event, uint32_t shmseg,
                           uint32_t offset) {
    static __typeof__(xcb_shm_put_image)* real;
    if (!real) real = (__typeof__(xcb_shm_put_image)*)next_symbol("xcb_shm_put_image", "libxcb-shm.so.0");
    const stamp t = now();
    char detail[32];
    snprintf(detail, sizeof detail, "%ux%u", src_width, src_height);
    note("put", t, t, detail);
    return real(c, drawable, gc, total_width, total_height, src_x, src_y, src_width, src_height, dst_x, dst_y, depth_,
                format, send_event, shmseg, offset);
}

cookie_t xcb_put_image(void* c, uint8_t format, uint32_t drawable, uint32_t gc, uint16_t width, uint16_t height,
                       int16_t dst_x, int16_t dst_y, uint8_t left_pad, uint8_t depth_, uint32_t data_len,
                       const uint8_t* data);
cookie_t xcb_put_image(void* c, uint8_t format, uint32_t drawable, uint32_t gc, uint16_t width, uint16_t height,
                       int16_t dst_x, int16_t dst_y, uint8_t left_pad, uint8_t depth_, uint32_t data_len,
                       const uint8_t* data) {
    static __typeof__(xcb_put_image)* real;
    if (!real) real = (__typeof__(xcb_put_image)*)next_symbol("xcb_put_image", "libxcb.so.1");
    const stamp t = now();
    char detail[32];
    snprintf(detail, sizeof detail, "%ux%u", width, height);
    note("put", t, t, detail);
    return real(c, format, drawable, gc, width, height, dst_x, dst_y, left_pad, depth_, data_len, data);
}

/* --- fonts ---------------------------------------------------------------------------------------- */

#define FONT_CALL(result_type, name, params, args)                                 \
    result_type name params;                                                       \
    result_type name params {                                                      \
        static result_type(*real) params;                                          \
        if (!real) real = (result_type(*) params)next_symbol(#name, NULL);       \
        const stamp t = now();                                                 \
        ++depth;                                                                   \
        result_type r = real args;                                                 \
        if (--depth == 0) note("fonts", t, now(), #name);                       \
        return r;                                                                  \
    }

FONT_CALL(int, FcInit, (void), ())
FONT_CALL(void*, FcFontList, (void* config, void* pattern, void* set), (config, pattern, set))
FONT_CALL(void*, FcFontSort, (void* config, void* pattern, int trim, void* csp, void* result),
          (config, pattern, trim, csp, result))
FONT_CALL(void*, FcFontMatch, (void* config, void* pattern, void* result), (config, pattern, result))
FONT_CALL(int, FcConfigSubstitute, (void* config, void* pattern, int kind), (config, pattern, kind))
FONT_CALL(int, FT_Open_Face, (void* library, const void* args, long index, void* face), (library, args, index, face))
FONT_CALL(int, FT_New_Face, (void* library, const char* path, long index, void* face), (library, path, index, face))
