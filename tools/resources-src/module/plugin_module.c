/* Stand-in plug-in module: a valid 64-bit Windows DLL with the entry points a host looks for,
   none of which does anything. The installer only copies the file and reads its version resource. */
#include <windows.h>

#if defined (OV_FORMAT_VST3)
__declspec (dllexport) BOOL InitDll (void)           { return TRUE; }
__declspec (dllexport) BOOL ExitDll (void)           { return TRUE; }
__declspec (dllexport) void* GetPluginFactory (void) { return NULL; }
#elif defined (OV_FORMAT_CLAP)
typedef struct
{
    unsigned major, minor, revision;
    int (*init) (const char*);
    void (*deinit) (void);
    const void* (*get_factory) (const char*);
} PluginEntry;

static int entryInit (const char* path)               { (void) path; return 0; }
static void entryDeinit (void)                         {}
static const void* entryGetFactory (const char* id)    { (void) id; return NULL; }

__declspec (dllexport) const PluginEntry clap_entry = { 1, 2, 2, entryInit, entryDeinit, entryGetFactory };
#elif defined (OV_FORMAT_AAX)
__declspec (dllexport) long ACFRegisterPlugin (void* unknown, void** definition) { (void) unknown; *definition = NULL; return -1; }
__declspec (dllexport) long ACFGetClassFactory (void* unknown, const void* clsid, const void* iid, void** factory) { (void) unknown; (void) clsid; (void) iid; *factory = NULL; return -1; }
__declspec (dllexport) long ACFCanUnloadNow (void* unknown) { (void) unknown; return 0; }
__declspec (dllexport) long ACFStartup (void* unknown) { (void) unknown; return 0; }
__declspec (dllexport) long ACFShutdown (void* unknown) { (void) unknown; return 0; }
#else
 #error "define OV_FORMAT_VST3, OV_FORMAT_CLAP or OV_FORMAT_AAX"
#endif

BOOL WINAPI DllMain (HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void) instance; (void) reason; (void) reserved;
    return TRUE;
}
