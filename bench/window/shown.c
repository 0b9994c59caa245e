/* shown: starts a picture viewer and times it until its picture is on the screen.
 *
 * The pictures of bench/window-peers.sh carry marker squares of a rare colour. This program
 * forks and execs the viewer (in a process group of its own, output to /dev/null), then polls
 * the root window of the X display with XShmGetImage and counts the pixels of a grid that lie
 * within a tolerance of the marker colour. The picture counts as shown once enough of them
 * are. It prints, on one line:
 *
 *   shown SECONDS cpu SECONDS hwm KB        time from the fork to the first screen with the
 *                                           marker; the viewer's CPU time until then (the
 *                                           sum over its threads of the first field of
 *                                           /proc/PID/task/TID/schedstat, nanoseconds; a
 *                                           thread that ended counts with its last value
 *                                           seen); its peak resident memory (VmHWM of
 *                                           /proc/PID/status) after the settle time
 *   timeout                                 the marker did not show within the time limit
 *
 * With -k and -S it measures stepping as well: after the first picture (and the keys of -P), it presses the key of -k every -i milliseconds through the
 * XTest extension (as xdotool key does), once for each further colour of -S, to the window
 * under the first marker, given the input focus first. Picture k of -S is expected after
 * press k. One line a step:
 *
 *   step K MILLISECONDS                     from press K to the first screen with colour K
 *   step K skipped                          a later colour came first (the viewer jumped)
 *   step K timeout
 *   steps SECONDS skipped N                 from the first press to the last picture shown
 *
 * Usage: shown [options] -- PROGRAM [ARGUMENTS...]
 *   -c RRGGBB    the marker colour of the first picture (required)
 *   -S RRGGBB,.. the marker colours of the pictures that the key steps to, in order
 *   -k KEYSYM    the key that steps (X keysym name: Right, F3, n, space)
 *   -P KEYSYM,.. keys pressed once after the first picture, before stepping, 300 ms apart
 *   -i MS        time between presses (default 2000)
 *   -t N         tolerance per channel, 0..255 (default 40)
 *   -n N         least number of grid points of the colour (default 40)
 *   -g N         grid step in pixels (default 4)
 *   -w SECONDS   time limit for the first picture and for each step (default 20)
 *   -s MS        settle time before the peak memory is read (default 500)
 *   -p MS        pause between two polls (default 2)
 *   -o FILE      the viewer's standard output and error go there (default /dev/null)
 *   -e NAME=VAL  put into the viewer's environment (not the poller's; any number of times)
 *
 * The viewer finds the time of the fork (CLOCK_MONOTONIC, nanoseconds) in SHOWN_START_NS.
 *
 * Exit status: 0 when measured (timeouts included), 2 on a usage or X error.
 */
#define _GNU_SOURCE
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/XTest.h>
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define MAX_COLOURS 64
#define MAX_THREADS 4096
#define MAX_KEYS 8

static double now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

static void sleep_ms(double ms) {
    if (ms <= 0) return;
    struct timespec t = {(time_t)(ms / 1000), (long)((ms - 1000.0 * (time_t)(ms / 1000)) * 1e6)};
    while (nanosleep(&t, &t) == -1 && errno == EINTR) {}
}

static pid_t viewer; /* the viewer's process (and process group), once started */

static void fail(const char* message) {
    fprintf(stderr, "shown: %s\n", message);
    if (viewer > 0) kill(-viewer, SIGKILL);
    exit(2);
}

static int lost_display(Display* d) {
    (void)d;
    fail("the connection to the X server was lost");
    return 0;
}

/* --- the colours: a table of 32 x 32 x 32 bins gives each pixel's colour index at once ---- */

static unsigned char bins[32 * 32 * 32]; /* 0: none; k + 1: colour k */
static int colour_count;
static int colours[MAX_COLOURS][3];

static void parse_colour(const char* text, int* rgb) {
    unsigned value;
    if (strlen(text) != 6 || sscanf(text, "%6x", &value) != 1) fail("a colour is written RRGGBB");
    rgb[0] = (int)(value >> 16) & 255;
    rgb[1] = (int)(value >> 8) & 255;
    rgb[2] = (int)value & 255;
}

static void build_bins(int tolerance) {
    /* A bin belongs to a colour when every pixel in it lies within the tolerance. */
    for (int r = 0; r < 32; ++r)
        for (int g = 0; g < 32; ++g)
            for (int b = 0; b < 32; ++b) {
                const int lo[3] = {r * 8, g * 8, b * 8};
                for (int k = 0; k < colour_count; ++k) {
                    int inside = 1;
                    for (int c = 0; c < 3; ++c) {
                        const int a = abs(lo[c] - colours[k][c]), z = abs(lo[c] + 7 - colours[k][c]);
                        if ((a > z ? a : z) > tolerance) inside = 0;
                    }
                    if (inside) {
                        bins[(r << 10) | (g << 5) | b] = (unsigned char)(k + 1);
                        break;
                    }
                }
            }
}

/* --- the screen ---------------------------------------------------------------------------- */

static Display* display;
static Window root;
static XImage* image;
static XShmSegmentInfo segment;
static int shift_r, shift_g, shift_b;
static int grid = 4;

static int mask_shift(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++s;
    return s;
}

static void open_screen(void) {
    display = XOpenDisplay(NULL);
    if (!display) fail("cannot open the display (DISPLAY)");
    XSetIOErrorHandler(lost_display);
    if (!XShmQueryExtension(display)) fail("the X server has no MIT-SHM");
    const int screen = DefaultScreen(display);
    root = RootWindow(display, screen);
    image = XShmCreateImage(display, DefaultVisual(display, screen), (unsigned)DefaultDepth(display, screen), ZPixmap,
                            NULL, &segment, (unsigned)DisplayWidth(display, screen),
                            (unsigned)DisplayHeight(display, screen));
    if (!image || image->bits_per_pixel != 32) fail("needs a screen of 24 or 32 bits a pixel");
    segment.shmid = shmget(IPC_PRIVATE, (size_t)image->bytes_per_line * (size_t)image->height, IPC_CREAT | 0600);
    if (segment.shmid < 0) fail("shmget failed");
    segment.shmaddr = image->data = shmat(segment.shmid, NULL, 0);
    segment.readOnly = False;
    if (!XShmAttach(display, &segment)) fail("XShmAttach failed");
    XSync(display, False);
    shmctl(segment.shmid, IPC_RMID, NULL); /* gone once both sides detach */
    shift_r = mask_shift(image->red_mask);
    shift_g = mask_shift(image->green_mask);
    shift_b = mask_shift(image->blue_mask);
}

/* Grid points of each colour on the screen now; counts[k] for colour k. */
static void count_colours(int* counts, double* when) {
    memset(counts, 0, sizeof(int) * (size_t)colour_count);
    if (!XShmGetImage(display, root, image, 0, 0, AllPlanes)) fail("XShmGetImage failed");
    *when = now();
    for (int y = grid / 2; y < image->height; y += grid) {
        const uint32_t* row = (const uint32_t*)(image->data + (size_t)y * (size_t)image->bytes_per_line);
        for (int x = grid / 2; x < image->width; x += grid) {
            const uint32_t p = row[x];
            const unsigned r = (p >> shift_r) & 255, g = (p >> shift_g) & 255, b = (p >> shift_b) & 255;
            const unsigned k = bins[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)];
            if (k) ++counts[k - 1];
        }
    }
}

/* The centre of the grid points of colour k (on the last image). */
static void colour_centre(int k, int* cx, int* cy) {
    long sx = 0, sy = 0, n = 0;
    for (int y = grid / 2; y < image->height; y += grid) {
        const uint32_t* row = (const uint32_t*)(image->data + (size_t)y * (size_t)image->bytes_per_line);
        for (int x = grid / 2; x < image->width; x += grid) {
            const uint32_t p = row[x];
            const unsigned r = (p >> shift_r) & 255, g = (p >> shift_g) & 255, b = (p >> shift_b) & 255;
            if (bins[((r >> 3) << 10) | ((g >> 3) << 5) | (b >> 3)] == k + 1) sx += x, sy += y, ++n;
        }
    }
    *cx = n ? (int)(sx / n) : image->width / 2;
    *cy = n ? (int)(sy / n) : image->height / 2;
}

/* The topmost viewable top-level window at a point of the screen, or None. */
static Window window_at(int x, int y) {
    Window parent, root_return, *children = NULL, found = None;
    unsigned count = 0;
    if (!XQueryTree(display, root, &root_return, &parent, &children, &count)) return None;
    for (unsigned i = count; i-- > 0 && found == None;) {
        XWindowAttributes a;
        if (!XGetWindowAttributes(display, children[i], &a)) continue;
        if (a.map_state != IsViewable || a.class == InputOnly) continue;
        if (x >= a.x && y >= a.y && x < a.x + a.width && y < a.y + a.height) found = children[i];
    }
    if (children) XFree(children);
    return found;
}

static void press(const char* keysym_name) {
    const KeySym keysym = XStringToKeysym(keysym_name);
    const KeyCode code = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
    if (!code) fail("unknown key");
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

/* --- the viewer's CPU time and memory -------------------------------------------------------- */

static int thread_ids[MAX_THREADS];
static unsigned long long thread_ns[MAX_THREADS];
static int thread_count;

/* Reads every thread's run time now; ended threads keep the last value seen. */
static void sample_cpu(void) {
    char path[64];
    snprintf(path, sizeof path, "/proc/%d/task", (int)viewer);
    DIR* dir = opendir(path);
    if (!dir) return;
    struct dirent* entry;
    while ((entry = readdir(dir))) {
        if (entry->d_name[0] == '.') continue;
        const int tid = atoi(entry->d_name);
        char file[96], text[128];
        snprintf(file, sizeof file, "/proc/%d/task/%d/schedstat", (int)viewer, tid);
        const int fd = open(file, O_RDONLY);
        if (fd < 0) continue;
        const ssize_t n = read(fd, text, sizeof text - 1);
        close(fd);
        if (n <= 0) continue;
        text[n] = '\0';
        const unsigned long long ns = strtoull(text, NULL, 10);
        int i = 0;
        while (i < thread_count && thread_ids[i] != tid) ++i;
        if (i == thread_count) {
            if (thread_count == MAX_THREADS) continue;
            thread_ids[thread_count++] = tid;
        }
        thread_ns[i] = ns;
    }
    closedir(dir);
}

static double cpu_seconds(void) {
    unsigned long long sum = 0;
    for (int i = 0; i < thread_count; ++i) sum += thread_ns[i];
    return (double)sum * 1e-9;
}

static long peak_kb(void) {
    char path[64], line[256];
    snprintf(path, sizeof path, "/proc/%d/status", (int)viewer);
    FILE* f = fopen(path, "r");
    long kb = -1;
    if (!f) return -1;
    while (fgets(line, sizeof line, f))
        if (strncmp(line, "VmHWM:", 6) == 0) kb = atol(line + 6);
    fclose(f);
    return kb;
}

static void end_viewer(void) {
    if (viewer <= 0) return;
    kill(-viewer, SIGTERM);
    for (int i = 0; i < 100; ++i) { /* up to a second for a clean end */
        if (waitpid(viewer, NULL, WNOHANG) == viewer) {
            kill(-viewer, SIGKILL); /* helpers left in its group */
            viewer = 0;
            return;
        }
        sleep_ms(10);
    }
    kill(-viewer, SIGKILL);
    waitpid(viewer, NULL, 0);
    viewer = 0;
}

static void on_signal(int signal_number) {
    if (viewer > 0) kill(-viewer, SIGKILL);
    _exit(128 + signal_number);
}

/* --- main ------------------------------------------------------------------------------------ */

int main(int argc, char** argv) {
    int tolerance = 40, least = 40, settle_ms = 500;
    double limit = 20, poll_ms = 2, interval_ms = 2000;
    const char* step_key = NULL;
    const char* output = "/dev/null";
    char* pre_keys[MAX_KEYS];
    char* environment[MAX_KEYS];
    int environment_count = 0;
    int pre_count = 0, have_first = 0;
    int option;
    while ((option = getopt(argc, argv, "c:S:k:P:i:t:n:g:w:s:p:o:e:")) != -1) {
        switch (option) {
        case 'c':
            parse_colour(optarg, colours[0]);
            have_first = 1;
            if (colour_count == 0) colour_count = 1;
            break;
        case 'S':
            if (colour_count == 0) colour_count = 1;
            for (char* t = strtok(optarg, ","); t; t = strtok(NULL, ",")) {
                if (colour_count == MAX_COLOURS) fail("too many colours");
                parse_colour(t, colours[colour_count++]);
            }
            break;
        case 'k': step_key = optarg; break;
        case 'P':
            for (char* t = strtok(optarg, ","); t && pre_count < MAX_KEYS; t = strtok(NULL, ",")) pre_keys[pre_count++] = t;
            break;
        case 'i': interval_ms = atof(optarg); break;
        case 't': tolerance = atoi(optarg); break;
        case 'n': least = atoi(optarg); break;
        case 'g': grid = atoi(optarg); break;
        case 'w': limit = atof(optarg); break;
        case 's': settle_ms = atoi(optarg); break;
        case 'p': poll_ms = atof(optarg); break;
        case 'o': output = optarg; break;
        case 'e':
            if (environment_count == MAX_KEYS || !strchr(optarg, '=')) fail("-e NAME=VALUE, at most 8");
            environment[environment_count++] = optarg;
            break;
        default: fail("usage: shown -c RRGGBB [-S RRGGBB,...] [-k KEY] [options] -- PROGRAM [ARGS...]");
        }
    }
    if (!have_first || optind >= argc) fail("usage: shown -c RRGGBB [-S RRGGBB,...] [-k KEY] [options] -- PROGRAM [ARGS...]");
    if (colour_count > 1 && !step_key) fail("-S needs -k");
    if (grid < 1 || tolerance < 0 || tolerance > 255 || least < 1) fail("bad -g, -t or -n");
    build_bins(tolerance);
    open_screen();
    int event, error, major, minor;
    if (colour_count > 1 && !XTestQueryExtension(display, &event, &error, &major, &minor))
        fail("the X server has no XTEST");

    /* A screen that shows a marker already (a viewer of an earlier run still closing) would
       give a time of zero: wait for it to go. */
    int counts[MAX_COLOURS];
    double seen;
    for (double until = now() + 5;;) {
        count_colours(counts, &seen);
        int any = 0;
        for (int k = 0; k < colour_count; ++k) any |= counts[k] >= least;
        if (!any) break;
        if (now() > until) fail("a marker is on the screen before the viewer starts");
        sleep_ms(20);
    }

    signal(SIGTERM, on_signal);
    signal(SIGINT, on_signal);
    signal(SIGHUP, on_signal);
    const double start = now();
    char start_ns[32]; /* for bench/window/startup-probe.c: the time of the fork */
    snprintf(start_ns, sizeof start_ns, "%.0f", start * 1e9);
    viewer = fork();
    if (viewer < 0) fail("fork failed");
    if (viewer == 0) {
        setpgid(0, 0);
        const int fd = open(output, O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (fd >= 0) dup2(fd, 1), dup2(fd, 2);
        setenv("SHOWN_START_NS", start_ns, 1);
        for (int i = 0; i < environment_count; ++i) putenv(environment[i]);
        execvp(argv[optind], argv + optind);
        _exit(127);
    }
    setpgid(viewer, viewer);

    /* The first picture. */
    int shown = 0;
    while (now() - start < limit) {
        sample_cpu();
        count_colours(counts, &seen);
        if (counts[0] >= least) {
            shown = 1;
            break;
        }
        if (waitpid(viewer, NULL, WNOHANG) == viewer) {
            viewer = 0;
            break;
        }
        sleep_ms(poll_ms);
    }
    if (!shown) {
        printf(viewer ? "timeout\n" : "timeout (the viewer ended)\n");
        fflush(stdout);
        end_viewer();
        return 0;
    }
    const double first = seen - start, cpu = cpu_seconds();
    int cx, cy;
    colour_centre(0, &cx, &cy);
    sleep_ms(settle_ms);
    printf("shown %.4f cpu %.4f hwm %ld\n", first, cpu, peak_kb());
    fflush(stdout);

    /* Stepping. */
    if (colour_count > 1) {
        const Window target = window_at(cx, cy);
        if (target != None) XSetInputFocus(display, target, RevertToPointerRoot, CurrentTime);
        XSync(display, False);
        for (int i = 0; i < pre_count; ++i) {
            press(pre_keys[i]);
            sleep_ms(300);
        }
        const int steps = colour_count - 1;
        double pressed[MAX_COLOURS], shown_at[MAX_COLOURS];
        int state[MAX_COLOURS]; /* 0 pending, 1 shown, 2 skipped */
        memset(state, 0, sizeof state);
        int presses = 0, highest = 0; /* highest colour index seen so far */
        double next_press = now(), last_change = now();
        while (highest < steps) {
            const double t = now();
            if (presses < steps && t >= next_press) {
                press(step_key);
                pressed[++presses] = now();
                next_press += interval_ms / 1000.0;
                if (presses == 1) last_change = pressed[1];
            }
            count_colours(counts, &seen);
            for (int k = steps; k > highest; --k) {
                if (counts[k] < least) continue;
                /* Colour k is on the screen: the ones between were never seen. */
                for (int j = highest + 1; j < k; ++j) state[j] = 2;
                state[k] = 1;
                shown_at[k] = seen;
                highest = k;
                last_change = seen;
                break;
            }
            if (presses > 0 && t - last_change > limit) break;
            double wait = poll_ms;
            if (presses < steps) {
                const double to_press = (next_press - now()) * 1000.0;
                if (to_press < wait) wait = to_press;
            }
            sleep_ms(wait);
        }
        int skipped = 0;
        for (int k = 1; k <= steps; ++k) {
            if (state[k] == 1 && k <= presses && shown_at[k] >= pressed[k])
                printf("step %d %.1f\n", k, (shown_at[k] - pressed[k]) * 1000.0);
            else if (state[k] == 1)
                printf("step %d early\n", k); /* shown before its key: the viewer's own timer */
            else if (state[k] == 2)
                printf("step %d skipped\n", k), ++skipped;
            else
                printf("step %d timeout\n", k);
        }
        if (highest == steps && presses > 0)
            printf("steps %.4f skipped %d\n", shown_at[steps] - pressed[1], skipped);
        else
            printf("steps timeout skipped %d\n", skipped);
        fflush(stdout);
    }
    end_viewer();
    return 0;
}
