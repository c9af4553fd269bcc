// Times the installer from process start to its first painted frame, beside a bare framework window with an
// empty panel, alternately on a display of its own (Xvfb), and prints both medians and their ratio.
//
// The frame is observed from outside, as the X server sees it: every drawing into the program's window is
// reported (the DAMAGE extension) and the window's pixels are read back at once. The first frame is the first
// one that already shows what the window goes on showing once it is quiet. The installer runs each time on a
// clean machine: an empty Wine prefix of the benchmark's own.
// A program, not a test: figures vary by machine. Usage: ov_startup_benchmark [runs [installer]]

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <ftw.h>
#include <signal.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace
{
    using Clock = std::chrono::steady_clock;

    // How long a window must stay unchanged before what it shows counts as its settled face.
    constexpr auto quietTime = std::chrono::milliseconds (1500);
    constexpr auto giveUpTime = std::chrono::seconds (30);

    double millisecondsBetween (Clock::time_point from, Clock::time_point to)
    {
        return std::chrono::duration<double, std::milli> (to - from).count();
    }

    pid_t spawn (const std::vector<std::string>& args, const std::vector<std::string>& extraEnvironment,
                 posix_spawn_file_actions_t* actions = nullptr)
    {
        std::vector<std::string> environment (extraEnvironment);

        for (auto** entry = environ; *entry != nullptr; ++entry)
        {
            const std::string variable (*entry);
            const auto name = variable.substr (0, variable.find ('=') + 1);
            const auto overridden = std::any_of (extraEnvironment.begin(), extraEnvironment.end(),
                                                 [&] (const std::string& e) { return e.rfind (name, 0) == 0; });
            if (! overridden)
                environment.push_back (variable);
        }

        std::vector<char*> argv, envp;

        for (const auto& a : args)         argv.push_back (const_cast<char*> (a.c_str()));
        for (const auto& e : environment)  envp.push_back (const_cast<char*> (e.c_str()));
        argv.push_back (nullptr);
        envp.push_back (nullptr);

        pid_t pid = 0;

        if (posix_spawnp (&pid, argv[0], actions, nullptr, argv.data(), envp.data()) != 0)
            throw std::runtime_error ("cannot start " + args[0]);

        return pid;
    }

    void stop (pid_t pid)
    {
        kill (pid, SIGTERM);

        for (int i = 0; i < 200; ++i)
        {
            if (waitpid (pid, nullptr, WNOHANG) == pid)
                return;

            usleep (10000);
        }

        kill (pid, SIGKILL);
        waitpid (pid, nullptr, 0);
    }

    void removeTree (const std::string& path)
    {
        nftw (path.c_str(), [] (const char* p, const struct stat*, int, struct FTW*) { return remove (p); },
              16, FTW_DEPTH | FTW_PHYS);
    }

    /** Xvfb on a free display number, started and stopped by the benchmark. */
    class VirtualDisplay
    {
    public:
        VirtualDisplay()
        {
            int fds[2];

            if (pipe (fds) != 0)
                throw std::runtime_error ("no pipe");

            posix_spawn_file_actions_t actions;
            posix_spawn_file_actions_init (&actions);
            posix_spawn_file_actions_addclose (&actions, fds[0]);
            posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
            posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
            pid = spawn ({ "Xvfb", "-displayfd", std::to_string (fds[1]), "-screen", "0", "1280x1024x24",
                           "-nolisten", "tcp", "-noreset" }, {}, &actions);
            posix_spawn_file_actions_destroy (&actions);
            close (fds[1]);

            // The number is ready once its line ends; closing earlier would make the server fail on its write.
            std::string number;

            for (char c = 0; read (fds[0], &c, 1) == 1 && c != '\n';)
                number += c;

            close (fds[0]);

            if (number.empty())
                throw std::runtime_error ("Xvfb did not start");

            name = ":" + number;
        }

        ~VirtualDisplay()   { stop (pid); }

        std::string name;

    private:
        pid_t pid = 0;
    };

    /** Watches every top-level window of the display for drawing. */
    class FrameWatcher
    {
    public:
        explicit FrameWatcher (const std::string& displayName)
            : display (XOpenDisplay (displayName.c_str()))
        {
            if (display == nullptr)
                throw std::runtime_error ("cannot open display " + displayName);

            int errorBase = 0;

            if (! XDamageQueryExtension (display, &damageEventBase, &errorBase))
                throw std::runtime_error ("the X server has no DAMAGE extension");

            // A window that goes away while it is read back is no fault of the program's.
            XSetErrorHandler ([] (Display*, XErrorEvent*) { return 0; });

            const auto root = DefaultRootWindow (display);
            XSelectInput (display, root, SubstructureNotifyMask);
            // Keep the pointer off the window, so no control shows its hover face.
            XWarpPointer (display, None, root, 0, 0, 0, 0, 0, 0);
            XSync (display, False);
        }

        ~FrameWatcher()   { XCloseDisplay (display); }

        /** Milliseconds from start to the first frame equal to the settled face of the program's window. */
        double timeFirstFrame (const std::vector<std::string>& program, const std::vector<std::string>& environment,
                               const std::string& displayName)
        {
            windows.clear();
            auto env = environment;
            env.push_back ("DISPLAY=" + displayName);

            const auto start = Clock::now();
            const auto pid = spawn (program, env);
            auto lastChange = start;

            while (Clock::now() - start < giveUpTime)
            {
                if (! waitForEvent (std::chrono::milliseconds (20)))
                {
                    if (hasFrames() && Clock::now() - lastChange > quietTime)
                        break;

                    continue;
                }

                while (XPending (display) > 0)
                {
                    XEvent event;
                    XNextEvent (display, &event);

                    if (handle (event))
                        lastChange = Clock::now();
                }
            }

            stop (pid);

            for (auto& [window, watched] : windows)
                XDamageDestroy (display, watched.damage);

            XSync (display, False);

            const auto* watched = mainWindow();

            if (watched == nullptr)
                throw std::runtime_error ("no frame from " + program[0]);

            const auto settled = watched->frames.back().digest;

            for (const auto& frame : watched->frames)
                if (frame.digest == settled)
                    return millisecondsBetween (start, frame.time);

            return 0.0;
        }

    private:
        struct Frame
        {
            Clock::time_point time;
            std::string digest;
        };

        struct Watched
        {
            Damage damage = 0;
            bool mapped = false;
            std::vector<Frame> frames;
        };

        bool waitForEvent (std::chrono::milliseconds timeout)
        {
            if (XPending (display) > 0)
                return true;

            fd_set fds;
            FD_ZERO (&fds);
            FD_SET (ConnectionNumber (display), &fds);
            timeval tv { 0, (suseconds_t) timeout.count() * 1000 };
            return select (ConnectionNumber (display) + 1, &fds, nullptr, nullptr, &tv) > 0;
        }

        bool hasFrames() const   { return mainWindow() != nullptr; }

        const Watched* mainWindow() const
        {
            const Watched* best = nullptr;

            for (const auto& [window, watched] : windows)
                if (! watched.frames.empty() && (best == nullptr || watched.frames.size() > best->frames.size()))
                    best = &watched;

            return best;
        }

        /** True when the event drew into a shown window. */
        bool handle (const XEvent& event)
        {
            if (event.type == CreateNotify && event.xcreatewindow.parent == DefaultRootWindow (display))
            {
                windows[event.xcreatewindow.window].damage
                    = XDamageCreate (display, event.xcreatewindow.window, XDamageReportNonEmpty);
                return false;
            }

            if (event.type == MapNotify && windows.count (event.xmap.window) > 0)
            {
                windows[event.xmap.window].mapped = true;
                return false;
            }

            if (event.type == UnmapNotify && windows.count (event.xunmap.window) > 0)
            {
                windows[event.xunmap.window].mapped = false;
                return false;
            }

            if (event.type != damageEventBase + XDamageNotify)
                return false;

            const auto& notify = reinterpret_cast<const XDamageNotifyEvent&> (event);
            const auto time = Clock::now();
            auto found = windows.find (notify.drawable);

            if (found == windows.end())
                return false;

            XDamageSubtract (display, notify.damage, None, None);

            if (! found->second.mapped)
                return false;

            if (auto digest = readPixels (notify.drawable))
            {
                found->second.frames.push_back ({ time, std::move (*digest) });
                return true;
            }

            return false;
        }

        std::optional<std::string> readPixels (Window window)
        {
            XWindowAttributes attributes;

            if (! XGetWindowAttributes (display, window, &attributes) || attributes.map_state != IsViewable)
                return std::nullopt;

            auto* image = XGetImage (display, window, 0, 0, (unsigned) attributes.width, (unsigned) attributes.height,
                                     AllPlanes, ZPixmap);

            if (image == nullptr)
                return std::nullopt;

            std::string pixels (image->data, (size_t) image->bytes_per_line * (size_t) image->height);
            XDestroyImage (image);
            return std::to_string (attributes.width) + "x" + std::to_string (attributes.height) + ":" + pixels;
        }

        Display* display = nullptr;
        int damageEventBase = 0;
        std::map<Window, Watched> windows;
    };

    double median (std::vector<double> values)
    {
        std::sort (values.begin(), values.end());
        const auto n = values.size();
        return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) * 0.5;
    }
}

int main (int argc, char** argv)
{
    const auto runs = argc > 1 ? std::max (1, std::atoi (argv[1])) : 10;
    const std::string installerProgram = argc > 2 ? argv[2] : OV_INSTALLER_PROGRAM;

    try
    {
        VirtualDisplay virtualDisplay;
        FrameWatcher watcher (virtualDisplay.name);

        char prefixTemplate[] = "/tmp/ov-startup-XXXXXX";

        if (mkdtemp (prefixTemplate) == nullptr)
            throw std::runtime_error ("no temporary folder");

        const std::string sandbox (prefixTemplate);
        const auto prefix = sandbox + "/wine";
        std::vector<double> installer, bare;

        std::printf ("start to first painted frame, ms (installer on a clean machine, bare window), %d runs:\n", runs);

        for (int run = 0; run < runs; ++run)
        {
            // Each program goes first every other round, so neither always finds the caches warmed by the other.
            for (int turn = 0; turn < 2; ++turn)
            {
                if ((turn == 0) == (run % 2 == 0))
                {
                    removeTree (prefix);
                    mkdir (prefix.c_str(), 0700);
                    mkdir ((prefix + "/drive_c").c_str(), 0700);
                    mkdir ((prefix + "/drive_c/ProgramData").c_str(), 0700);
                    installer.push_back (watcher.timeFirstFrame ({ installerProgram }, { "WINEPREFIX=" + prefix },
                                                                 virtualDisplay.name));
                }
                else
                {
                    bare.push_back (watcher.timeFirstFrame ({ OV_BARE_WINDOW_PROGRAM }, {}, virtualDisplay.name));
                }
            }

            std::printf ("  run %2d: installer %7.1f   bare window %7.1f\n", run + 1, installer.back(), bare.back());
            std::fflush (stdout);
        }

        removeTree (sandbox);

        const auto installerMedian = median (installer);
        const auto bareMedian = median (bare);
        std::printf ("median: installer %.1f ms, bare window %.1f ms, ratio %.2f\n",
                     installerMedian, bareMedian, installerMedian / bareMedian);
    }
    catch (const std::exception& e)
    {
        std::fprintf (stderr, "ov_startup_benchmark: %s\n", e.what());
        return 1;
    }

    return 0;
}
