/* The host as the plug-in meets it, in plain C: a program named Tormel.exe that exports the host
 * functions by name and drives brindle.dll the way a host built with Microsoft's compiler does.
 * It loads the library, calls the six metadata functions and createPlugin, then calls the
 * object's virtual table by slot number with the object as first argument: slot 2 (initPlugin)
 * once, slot 1 (execute) once per dialog action, slot 0 (the scalar deleting destructor) with
 * flags 1 at the end. No C++ is involved on this side, so nothing of GCC's own layout can
 * paper over a wrong table.
 *
 *   Tormel.exe PLUGIN.dll LOG_FOLDER [ACTION...]
 *
 * Actions, in order, after initPlugin returned true:
 *   --set NAME=TEXT    the dialog sets a parameter (through this program's tmSetStringParameter)
 *   --add NAME=TEXT    appends TEXT as a new line of a parameter (a list such as "sdms2")
 *   --save PATH        the answer of the next save dialog (none left: the offered path)
 *   --execute LABEL    a dialog button: slot 1, with the log text of the call in LABEL.log and
 *                      its message boxes, one "[message] TEXT" line each, in LABEL.err
 * initPlugin's texts go to init.log/init.err, slot 0's to delete.log/delete.err. Standard output
 * gets the metadata lines (as "Tormel --info" prints them) and one line per virtual call.
 *
 * Exit status: 0 when every call answered as it should; 1 when execute returned false, a
 * message box was shown, the busy cursor was left on or slot 0 did not return the object;
 * 2 when initPlugin returned false; 3 for a library that cannot be loaded or lacks a function;
 * 4 when a call crashed; 64 for a wrong command line. */

#include <fcntl.h>
#include <io.h>
#include <limits.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#define HOST_EXPORT __declspec(dllexport)

/* The plug-in's buffers: a path or parameter text, and the list "sdms2" (with the NUL). */
enum { pathBuffer = 4096, listBuffer = 65536, maxParameters = 64, maxSaveAnswers = 16 };

typedef void (*AnyFunction)(void);
typedef const char* (*TextFunction)(void);
typedef void* (*FactoryFunction)(void);
/* The table as the host's compiler calls it: `this` first; a bool comes back in AL only. */
typedef void* (*DeletingDestructorSlot)(void* self, unsigned int flags);
typedef unsigned char (*BoolSlot)(void* self);
typedef void (*SetStringParameterFunction)(const char* name, const char* text);

static struct { char *name, *text; } parameters[maxParameters];
static int parameterCount;
static const char* saveAnswers[maxSaveAnswers];
static int saveAnswerCount, saveAnswersUsed;
static FILE *phaseLog, *phaseMessages;
static int messagesShown, busyShown, busyStopped;
static const char* logFolder;

static void fail(int status, const char* format, ...) {
  va_list args;
  va_start(args, format);
  fputs("Tormel: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
  exit(status);
}

/* A call through the table that faults ends the run with a message, not a debugger. */
static LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
  fprintf(stderr, "Tormel: the plug-in crashed: exception 0x%08lx at %p\n",
          (unsigned long)info->ExceptionRecord->ExceptionCode,
          info->ExceptionRecord->ExceptionAddress);
  fflush(stderr);
  ExitProcess(4);
  return EXCEPTION_EXECUTE_HANDLER;
}

static char* copyText(const char* text) {
  size_t size = strlen(text) + 1;
  char* copy = malloc(size);
  if (copy == NULL) fail(3, "out of memory");
  memcpy(copy, text, size);
  return copy;
}

static int findParameter(const char* name) {
  for (int i = 0; i < parameterCount; ++i)
    if (strcmp(parameters[i].name, name) == 0) return i;
  return -1;
}

static const char* parameterText(const char* name) {
  int i = findParameter(name);
  return i < 0 ? "" : parameters[i].text;
}

/* The texts of the current call go to LABEL.log and LABEL.err in the log folder. */
static void closePhase(void) {
  if (phaseLog != NULL && fclose(phaseLog) != 0) fail(3, "cannot write the log");
  if (phaseMessages != NULL && fclose(phaseMessages) != 0) fail(3, "cannot write the log");
  phaseLog = phaseMessages = NULL;
}

static FILE* openPhaseFile(const char* label, const char* extension) {
  char path[MAX_PATH];
  if (snprintf(path, sizeof path, "%s\\%s.%s", logFolder, label, extension) >= (int)sizeof path)
    fail(64, "the log folder's path is too long");
  FILE* file = fopen(path, "wb");
  if (file == NULL) fail(3, "cannot create %s", path);
  return file;
}

static void openPhase(const char* label) {
  closePhase();
  phaseLog = openPhaseFile(label, "log");
  phaseMessages = openPhaseFile(label, "err");
}

static void writeText(FILE* file, const char* text) {
  if (text != NULL) fputs(text, file);
  fflush(file);
}

/* The host functions the plug-in looks up in Tormel.exe. */

HOST_EXPORT void tmGetVersionOfTormel(int* major, int* minor, int* third) {
  if (major != NULL) *major = 3;
  if (minor != NULL) *minor = 0;
  if (third != NULL) *third = 0;
}

HOST_EXPORT void tmShowLogTab(void) {}

HOST_EXPORT void tmLogText(const char* text) { writeText(phaseLog, text); }

HOST_EXPORT void tmMessageBox(const char* text) {
  ++messagesShown;
  writeText(phaseMessages, "[message] ");
  writeText(phaseMessages, text);
  writeText(phaseMessages, "\n");
}

HOST_EXPORT void tmGetStringParameter(const char* name, char* buffer) {
  const char* text = parameterText(name);
  size_t size = strcmp(name, "sdms2") == 0 ? listBuffer : pathBuffer;
  if (strlen(text) >= size) fail(64, "parameter %s does not fit the plug-in's buffer", name);
  memcpy(buffer, text, strlen(text) + 1);
}

HOST_EXPORT int tmGetIntParameter(const char* name) {
  const char* text = parameterText(name);
  char* end = NULL;
  long value = strtol(text, &end, 10);
  while (end != NULL && *end == ' ') ++end;
  return end == text || *end != '\0' || value < INT_MIN || value > INT_MAX ? 0 : (int)value;
}

HOST_EXPORT void tmSetStringParameter(const char* name, const char* text) {
  int i = findParameter(name);
  if (i < 0) {
    if (parameterCount == maxParameters) fail(64, "too many parameters");
    i = parameterCount++;
    parameters[i].name = copyText(name);
  } else {
    free(parameters[i].text);
  }
  parameters[i].text = copyText(text);
}

/* No task run here opens a file: the open dialog is cancelled and writes nothing. */
HOST_EXPORT int tmGetOpenFileName(const char* title, const char* initialPath, const char* filter,
                                  char* buffer) {
  (void)title, (void)initialPath, (void)filter, (void)buffer;
  return 0;
}

HOST_EXPORT int tmGetSaveFileName(const char* title, const char* initialPath, const char* filter,
                                  char* buffer) {
  (void)title, (void)filter;
  const char* path =
      saveAnswersUsed < saveAnswerCount ? saveAnswers[saveAnswersUsed++] : initialPath;
  if (strlen(path) >= pathBuffer) fail(64, "the save answer does not fit the plug-in's buffer");
  memcpy(buffer, path, strlen(path) + 1);
  return 1;
}

HOST_EXPORT void tmShowBusyCursor(void) { ++busyShown; }

HOST_EXPORT void tmStopBusyCursor(void) { ++busyStopped; }

/* The library's side. */

static AnyFunction exported(HMODULE module, const char* name) {
  AnyFunction function = (AnyFunction)(void (*)(void))GetProcAddress(module, name);
  if (function == NULL) fail(3, "the plug-in does not export %s", name);
  return function;
}

static const char* metadata(HMODULE library, const char* name) {
  const char* text = ((TextFunction)exported(library, name))();
  return text == NULL ? "(null)" : text;
}

/* A bool from AL: anything but 0 or 1 is not an answer of execute or initPlugin. */
static int boolAnswer(const char* call, unsigned char answer) {
  if (answer > 1) {
    printf("%s -> %u, not a bool\n", call, answer);
    return -1;
  }
  printf("%s -> %s\n", call, answer ? "true" : "false");
  return answer;
}

static void splitNameAndText(char* argument, const char** name, const char** text) {
  char* equals = strchr(argument, '=');
  if (equals == NULL || equals == argument) fail(64, "NAME=TEXT wanted, not \"%s\"", argument);
  *equals = '\0';
  *name = argument;
  *text = equals + 1;
}

int main(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(reportCrash);
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (argc < 3) fail(64, "usage: Tormel.exe PLUGIN.dll LOG_FOLDER [ACTION...]");
  logFolder = argv[2];

  /* The dialog reaches the parameters through the functions this program exports. */
  SetStringParameterFunction setParameter =
      (SetStringParameterFunction)exported(GetModuleHandleA(NULL), "tmSetStringParameter");

  HMODULE library = LoadLibraryA(argv[1]);
  if (library == NULL) fail(3, "cannot load %s (error %lu)", argv[1], GetLastError());
  static const char* const names[][2] = {
      {"Name", "getPluginName"},       {"Description", "getPluginDescription"},
      {"Version", "getPluginVersion"}, {"Author", "getAuthor"},
      {"Help file", "getHelpFile"},    {"GUI script", "getGUIScript"}};
  for (size_t i = 0; i < sizeof names / sizeof names[0]; ++i)
    printf("%s: %s\n", names[i][0], metadata(library, names[i][1]));
  void* plugin = ((FactoryFunction)exported(library, "createPlugin"))();
  if (plugin == NULL) fail(3, "createPlugin returned no object");
  fflush(stdout);

  /* What `plugin->initPlugin()` compiles to: the table's third entry, the object in RCX. */
  AnyFunction* table = *(AnyFunction**)plugin;
  int status = 0;
  openPhase("init");
  int initialised = boolAnswer("initPlugin (slot 2)", ((BoolSlot)table[2])(plugin));
  if (initialised != 1) status = 2;

  for (int i = 3; initialised == 1 && i < argc; ++i) {
    if (i + 1 == argc) fail(64, "%s needs a value", argv[i]);
    const char *option = argv[i], *name, *text;
    char* value = argv[++i];
    if (strcmp(option, "--set") == 0) {
      splitNameAndText(value, &name, &text);
      setParameter(name, text);
    } else if (strcmp(option, "--add") == 0) {
      splitNameAndText(value, &name, &text);
      const char* old = findParameter(name) < 0 ? NULL : parameterText(name);
      char* list = malloc((old == NULL ? 0 : strlen(old) + 1) + strlen(text) + 1);
      if (list == NULL) fail(3, "out of memory");
      sprintf(list, "%s%s%s", old == NULL ? "" : old, old == NULL ? "" : "\n", text);
      setParameter(name, list);
      free(list);
    } else if (strcmp(option, "--save") == 0) {
      if (saveAnswerCount == maxSaveAnswers) fail(64, "too many save answers");
      saveAnswers[saveAnswerCount++] = value;
    } else if (strcmp(option, "--execute") == 0) {
      openPhase(value);
      messagesShown = busyShown = busyStopped = 0;
      char call[300];
      snprintf(call, sizeof call, "execute (slot 1) %s", value);
      if (boolAnswer(call, ((BoolSlot)table[1])(plugin)) != 1 || messagesShown > 0) status = 1;
      if (busyShown != busyStopped) {
        printf("the busy cursor was shown %d times but stopped %d times\n", busyShown, busyStopped);
        status = 1;
      }
    } else {
      fail(64, "unknown action \"%s\"", option);
    }
    fflush(stdout);
  }

  /* What `delete plugin` compiles to: the first entry with flags 1 (destroy, then free). */
  openPhase("delete");
  const uintptr_t object = (uintptr_t)plugin;
  const uintptr_t returned = (uintptr_t)((DeletingDestructorSlot)table[0])(plugin, 1u);
  printf("scalar deleting destructor (slot 0, flags 1) -> %s\n",
         returned == object ? "the object" : "something else");
  if (returned != object && status == 0) status = 1;
  closePhase();
  fflush(stdout);
  FreeLibrary(library);
  return status;
}
