/* The two things the end-to-end suite needs from X that the stock tools cannot do:
     xtool intern             creates the window-manager atoms a bare server lacks, so programs
                              started afterwards take part in the close protocol;
     xtool close WINDOW       asks a window to close, as a window manager's close button does. */

#include <X11/Xlib.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int internAtoms (Display* display)
{
    static char* names[] = { "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS", "_NET_WM_PING" };
    Atom atoms[4];

    if (! XInternAtoms (display, names, 4, False, atoms))
        return 1;

    XSync (display, False);
    return 0;
}

static int requestClose (Display* display, Window window)
{
    XEvent event;
    memset (&event, 0, sizeof (event));
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom (display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long) XInternAtom (display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;

    if (! XSendEvent (display, window, False, NoEventMask, &event))
        return 1;

    XSync (display, False);
    return 0;
}

int main (int argc, char** argv)
{
    if (argc < 2 || (strcmp (argv[1], "intern") != 0 && (strcmp (argv[1], "close") != 0 || argc < 3)))
    {
        fprintf (stderr, "usage: %s intern | close WINDOW\n", argv[0]);
        return 2;
    }

    Display* display = XOpenDisplay (NULL);

    if (display == NULL)
    {
        fprintf (stderr, "%s: cannot open display\n", argv[0]);
        return 1;
    }

    const int result = strcmp (argv[1], "intern") == 0 ? internAtoms (display)
                                                       : requestClose (display, (Window) strtoul (argv[2], NULL, 0));
    XCloseDisplay (display);
    return result;
}
