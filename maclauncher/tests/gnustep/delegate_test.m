// Drives the real AppDelegate under GNUstep: registration at launch, and
// synthetic 'GURL' events delivered to the registered handler, each in a
// child process since the handler ends the process.
//
// Usage: maclauncher_delegate_test <case>
#import "AppleEventStandIn.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

enum { kGURL = 0x4755524C, kDirectObject = 0x2D2D2D2D };

static char root[64];
static char recordPath[128];
static char donePath[160];

static int Fail(const char *format, ...)
{
  va_list args;
  va_start(args, format);
  fputs("FAIL: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
  return 1;
}

static char *ReadWholeFile(const char *path)
{
  FILE *file = fopen(path, "rb");
  if (file == NULL) {
    return NULL;
  }
  size_t size = 0, capacity = 256;
  char *text = malloc(capacity);
  size_t n;
  while ((n = fread(text + size, 1, capacity - size - 1, file)) > 0) {
    size += n;
    if (capacity - size - 1 == 0) {
      capacity *= 2;
      text = realloc(text, capacity);
    }
  }
  text[size] = '\0';
  fclose(file);
  return text;
}

static int MakeDirectory(const char *path, mode_t mode)
{
  if (mkdir(path, mode) != 0 || chmod(path, mode) != 0) {
    return Fail("cannot make %s", path);
  }
  return 0;
}

// <dir>/bin/clientStartup.sh from the sample, directories 0755, script 0644.
static int InstallClient(const char *dir)
{
  char path[512];
  if (MakeDirectory(dir, 0755) != 0) {
    return 1;
  }
  snprintf(path, sizeof path, "%s/bin", dir);
  if (MakeDirectory(path, 0755) != 0) {
    return 1;
  }
  snprintf(path, sizeof path, "%s/bin/clientStartup.sh", dir);
  char *sample = ReadWholeFile(MACLAUNCHER_SAMPLE_SCRIPT);
  FILE *file = fopen(path, "wb");
  if (sample == NULL || file == NULL) {
    free(sample);
    if (file != NULL) {
      fclose(file);
    }
    return Fail("cannot install %s", path);
  }
  fputs(sample, file);
  fclose(file);
  free(sample);
  return chmod(path, 0644) == 0 ? 0 : Fail("chmod %s", path);
}

// Starts a launched application's delegate in a child process and delivers
// one 'GURL' event whose direct object is `link` (none when NULL). Returns
// the child's wait status.
static int RunHandler(const char *link, const char *workingDirectory)
{
  fflush(NULL);
  pid_t child = fork();
  if (child < 0) {
    return -1;
  }
  if (child == 0) {
    if (workingDirectory != NULL && chdir(workingDirectory) != 0) {
      _exit(4);
    }
    NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
    AppDelegate *delegate = [[AppDelegate alloc] init];
    [delegate applicationWillFinishLaunching:nil];
    StandInDescriptor *event = [StandInDescriptor eventWithClass:kGURL eventID:kGURL];
    if (link != NULL) {
      [event setParam:[StandInDescriptor descriptorWithText:[NSString stringWithUTF8String:link]]
           forKeyword:kDirectObject];
    }
    if (![[NSAppleEventManager sharedAppleEventManager] deliverEvent:event
                                                            forClass:kGURL
                                                             eventID:kGURL]) {
      _exit(3);  // nothing registered for 'GURL'/'GURL'
    }
    [pool release];
    _exit(2);  // the handler came back instead of ending the process
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return status;
}

static int ExpectStatusZero(int status, const char *link)
{
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return Fail("link %s: wait status 0x%x, not a plain exit with 0", link ? link : "(none)",
                status);
  }
  return 0;
}

// The run ended with 0 after the script ran to its end with `script` as its
// path and `link` as its only argument.
static int ExpectScriptRan(const char *link, const char *script, const char *workingDirectory)
{
  if (ExpectStatusZero(RunHandler(link, workingDirectory), link) != 0) {
    return 1;
  }
  char *recorded = ReadWholeFile(recordPath);
  if (recorded == NULL) {
    return Fail("link %s: the start script did not run", link);
  }
  char expected[2048];
  snprintf(expected, sizeof expected, "%s\n1\n%s\n", script, link);
  int failed = 0;
  if (strcmp(recorded, expected) != 0) {
    failed = Fail("link %s: script got\n%s--- instead of\n%s---", link, recorded, expected);
  }
  free(recorded);
  if (access(donePath, F_OK) != 0) {
    failed = Fail("link %s: the process ended before the script did", link);
  }
  return failed;
}

static int ExpectNothingRan(const char *link, const char *workingDirectory)
{
  if (ExpectStatusZero(RunHandler(link, workingDirectory), link) != 0) {
    return 1;
  }
  if (access(recordPath, F_OK) == 0) {
    return Fail("link %s: a script ran", link ? link : "(none)");
  }
  return 0;
}

static const char *Join(const char *format, ...)
{
  static char buffers[8][1024];
  static int next;
  char *buffer = buffers[next++ % 8];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffers[0], format, args);
  va_end(args);
  return buffer;
}

// --- cases -----------------------------------------------------------------

static int RegistersAtLaunchOnly(void)
{
  NSAutoreleasePool *pool = [[NSAutoreleasePool alloc] init];
  NSAppleEventManager *manager = [NSAppleEventManager sharedAppleEventManager];
  AppDelegate *delegate = [[AppDelegate alloc] init];
  int failed = 0;
  [delegate applicationDidFinishLaunching:nil];
  if ([manager handlerCount] != 0) {
    failed = Fail("finishing launching registered a handler");
  }
  [delegate applicationWillFinishLaunching:nil];
  if ([manager handlerCount] != 1) {
    failed = Fail("%lu handlers after launching", (unsigned long)[manager handlerCount]);
  }
  if ([manager deliverEvent:nil forClass:0x61657674 eventID:0x6f617070]) {
    failed = Fail("a handler answers 'aevt'/'oapp'");
  }

  // The window outlet is a plain assignment: no retain, no copy.
  NSObject *window = [[NSObject alloc] init];
  NSUInteger count = [window retainCount];
  [delegate setWindow:(NSWindow *)window];
  if ([delegate window] != (NSWindow *)window || [window retainCount] != count) {
    failed = Fail("window is not assigned as is");
  }
  [delegate setWindow:nil];
  if ([delegate window] != nil) {
    failed = Fail("window stays after being cleared");
  }
  [window release];
  [delegate release];
  [pool release];
  return failed;
}

static int RunsScriptWithItsPathAndTheLink(void)
{
  const char *client = Join("%s/client", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  return ExpectScriptRan(Join("nvzav://%s#p1$x", client),
                         Join("%s/bin/clientStartup.sh", client), NULL);
}

static int SchemeInsidePayloadIsRemovedBeforeReading(void)
{
  const char *client = Join("%s/sub", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  return ExpectScriptRan(Join("nvzav://%s/nvzav://sub#nvzav://x$nvzav://y", root),
                         Join("%s/bin/clientStartup.sh", client), NULL);
}

static int OnlyFirstPieceBeforeFirstHashIsRead(void)
{
  const char *client = Join("%s/client", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  return ExpectScriptRan(Join("nvzav://%s#a#b$%s/other#c$$d", client, root),
                         Join("%s/bin/clientStartup.sh", client), NULL);
}

static int LinkIsNotPercentDecoded(void)
{
  const char *client = Join("%s/my%%20client", root);
  if (InstallClient(client) != 0 || InstallClient(Join("%s/my client", root)) != 0) {
    return 1;
  }
  return ExpectScriptRan(Join("nvzav://%s#x", client), Join("%s/bin/clientStartup.sh", client),
                         NULL);
}

static int NoHashInFirstPieceStartsNothing(void)
{
  const char *client = Join("%s/client", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  return ExpectNothingRan(Join("nvzav://%s$b#x", client), NULL) |
         ExpectNothingRan(Join("nvzav://$%s#x", client), NULL);
}

static int TextThatIsNoUrlStartsNothing(void)
{
  if (InstallClient(Join("%s/a b", root)) != 0 || InstallClient(Join("%s/a|b", root)) != 0 ||
      InstallClient(Join("%s/a%%zz", root)) != 0) {
    return 1;
  }
  return ExpectNothingRan(Join("nvzav://%s/a b#x", root), NULL) |
         ExpectNothingRan(Join("nvzav://%s/a|b#x", root), NULL) |
         ExpectNothingRan(Join("nvzav://%s/a%%zz#x", root), NULL);
}

static int EventWithoutLinkTextStartsNothing(void)
{
  return ExpectNothingRan(NULL, NULL) | ExpectNothingRan("", NULL) |
         ExpectNothingRan("nvzav://#x", NULL);
}

static int RelativeDirectoryIsRefused(void)
{
  if (InstallClient(Join("%s/client", root)) != 0) {
    return 1;
  }
  return ExpectNothingRan("nvzav://client#x", root) | ExpectNothingRan("client#x", root);
}

static int ParentComponentIsRefused(void)
{
  if (InstallClient(Join("%s/client", root)) != 0 ||
      MakeDirectory(Join("%s/other", root), 0755) != 0) {
    return 1;
  }
  return ExpectNothingRan(Join("nvzav://%s/other/../client#x", root), NULL);
}

static int WritableScriptIsRefused(void)
{
  const char *client = Join("%s/client", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  int failed = 0;
  const mode_t modes[] = {0664, 0646};
  for (size_t i = 0; i < sizeof modes / sizeof modes[0]; ++i) {
    chmod(Join("%s/bin/clientStartup.sh", client), modes[i]);
    failed |= ExpectNothingRan(Join("nvzav://%s#x", client), NULL);
  }
  return failed;
}

static int WritableDirectoryIsRefused(void)
{
  const char *client = Join("%s/client", root);
  if (InstallClient(client) != 0) {
    return 1;
  }
  int failed = 0;
  const mode_t modes[] = {0775, 0757};
  for (size_t i = 0; i < sizeof modes / sizeof modes[0]; ++i) {
    chmod(Join("%s/bin", client), modes[i]);
    failed |= ExpectNothingRan(Join("nvzav://%s#x", client), NULL);
  }
  return failed;
}

static int LinkedScriptIsRefused(void)
{
  const char *client = Join("%s/client", root);
  const char *real = Join("%s/real", root);
  if (InstallClient(client) != 0 || InstallClient(real) != 0) {
    return 1;
  }
  const char *script = Join("%s/bin/clientStartup.sh", client);
  unlink(script);
  if (symlink(Join("%s/bin/clientStartup.sh", real), script) != 0) {
    return Fail("symlink");
  }
  return ExpectNothingRan(Join("nvzav://%s#x", client), NULL);
}

struct Case {
  const char *name;
  int (*run)(void);
};

static const struct Case cases[] = {
    {"registers_at_launch_only", RegistersAtLaunchOnly},
    {"runs_script_with_its_path_and_the_link", RunsScriptWithItsPathAndTheLink},
    {"scheme_inside_payload_is_removed", SchemeInsidePayloadIsRemovedBeforeReading},
    {"only_first_piece_before_first_hash", OnlyFirstPieceBeforeFirstHashIsRead},
    {"link_is_not_percent_decoded", LinkIsNotPercentDecoded},
    {"no_hash_in_first_piece", NoHashInFirstPieceStartsNothing},
    {"text_that_is_no_url", TextThatIsNoUrlStartsNothing},
    {"event_without_link_text", EventWithoutLinkTextStartsNothing},
    {"relative_directory_refused", RelativeDirectoryIsRefused},
    {"parent_component_refused", ParentComponentIsRefused},
    {"writable_script_refused", WritableScriptIsRefused},
    {"writable_directory_refused", WritableDirectoryIsRefused},
    {"linked_script_refused", LinkedScriptIsRefused},
};

int main(int argc, char *argv[])
{
  if (argc == 2 && strcmp(argv[1], "--list") == 0) {
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
      printf("%s\n", cases[i].name);
    }
    return 0;
  }
  if (argc != 2) {
    fprintf(stderr, "usage: %s <case>|--list\n", argv[0]);
    return 2;
  }
  const struct Case *chosen = NULL;
  for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    if (strcmp(argv[1], cases[i].name) == 0) {
      chosen = &cases[i];
    }
  }
  if (chosen == NULL) {
    fprintf(stderr, "no case %s\n", argv[1]);
    return 2;
  }

  strcpy(root, "/tmp/maclauncher-delegate.XXXXXX");
  if (mkdtemp(root) == NULL) {
    return Fail("mkdtemp");
  }
  snprintf(recordPath, sizeof recordPath, "%s/record", root);
  snprintf(donePath, sizeof donePath, "%s.done", recordPath);

  int failed = chosen->run();

  char command[128];
  snprintf(command, sizeof command, "rm -rf '%s'", root);
  if (system(command) != 0) {
    failed = Fail("cannot remove %s", root);
  }
  printf("%s %s\n", failed ? "FAILED" : "passed", chosen->name);
  return failed ? 1 : 0;
}
