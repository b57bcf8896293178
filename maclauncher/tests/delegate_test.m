// Drives the real AppDelegate: registration at launch, and 'GURL' events
// delivered to the registered handler (real ones on macOS, the stand-in's under
// GNUstep), each in a helper process since the app ends itself: this program
// started anew (never a fork of a process that has loaded Cocoa).
//
// Usage: maclauncher_delegate_test <case>
//        maclauncher_delegate_test --handle <link> <second> <delay> <working directory>  (the helper)
#import "maclauncher/tests/apple_events.h"

#include <fcntl.h>
#include <spawn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __APPLE__
#include <sys/xattr.h>
#endif

#ifdef GNUSTEP
// macOS 14's NSURL, which GNUstep lacks. Told to encode invalid characters, it
// makes a URL of text that is none (here of blanks and bars). Told not to, it
// refuses what macOS refuses, which GNUstep's URLWithString: takes: a second "#"
// (RFC 3986 allows none in a fragment; CFURL before macOS 14 allows one "#" in the
// whole text), and "[" or "]" anywhere but around an IP-literal host.
@interface NSURL (EncodingStandIn)
+ (id)URLWithString:(NSString*)text encodingInvalidCharacters:(BOOL)encode;
@end

static BOOL RefusedByMacOS(NSString* text) {
  const char* s = [text UTF8String];
  const char* hash = strchr(s, '#');
  if (hash != NULL && strchr(hash + 1, '#') != NULL) {
    return YES;
  }
  // Brackets only around a host right after "scheme://" (stricter than macOS for a
  // bracketed host after user information, never more lenient).
  const char* scheme = strstr(s, "://");
  const char* rest = s;
  if (scheme != NULL) {
    if (strcspn(s, "[]") < (size_t)(scheme - s)) {
      return YES;
    }
    rest = scheme + 3;
    const char* close = *rest == '[' ? strchr(rest, ']') : NULL;
    if (*rest == '[' && (close == NULL || memchr(rest + 1, '[', (size_t)(close - rest - 1)) != NULL)) {
      return YES;
    }
    rest = close != NULL ? close + 1 : rest;
  }
  return strpbrk(rest, "[]") != NULL;
}

@implementation NSURL (EncodingStandIn)
+ (id)URLWithString:(NSString*)text encodingInvalidCharacters:(BOOL)encode {
  if (encode) {
    text = [[text stringByReplacingOccurrencesOfString:@" "
                                            withString:@"%20"] stringByReplacingOccurrencesOfString:@"|"
                                                                                         withString:@"%7C"];
  } else if (RefusedByMacOS(text)) {
    return nil;
  }
  return [self URLWithString:text];
}
@end
#endif

static char root[64];
static char recordPath[128];  // written by the sample script
static char donePath[160];    // written by it once it has lingered

static int Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  fputs("FAIL: ", stderr);
  vfprintf(stderr, format, args);
  fputc('\n', stderr);
  va_end(args);
  return 1;
}

// A path or link under the case's root; the buffers are reused in turn.
static const char* Format(const char* format, ...) {
  static char buffers[8][1024];
  static int next;
  char* buffer = buffers[next++ % 8];
  va_list args;
  va_start(args, format);
  vsnprintf(buffer, sizeof buffers[0], format, args);
  va_end(args);
  return buffer;
}

static char* ReadWholeFile(const char* path) {
  FILE* file = fopen(path, "rb");
  if (file == NULL) {
    return NULL;
  }
  static char text[4096];
  size_t size = fread(text, 1, sizeof text - 1, file);
  text[size] = '\0';
  fclose(file);
  return text;
}

static int MakeDirectory(const char* path, mode_t mode) {
  return (mkdir(path, mode) == 0 && chmod(path, mode) == 0) ? 0 : Fail("cannot make %s", path);
}

// <root>/<name>/bin/clientStartup.sh from the sample: directories 0755,
// script 0644. Returns the client directory (kept for the whole run), NULL on
// failure.
static const char* InstallClient(const char* name) {
  const char* dir = strdup(Format("%s/%s", root, name));
  char* sample = ReadWholeFile(MACLAUNCHER_SAMPLE_SCRIPT);
  if (sample == NULL || MakeDirectory(dir, 0755) != 0 || MakeDirectory(Format("%s/bin", dir), 0755) != 0) {
    return NULL;
  }
  const char* script = Format("%s/bin/clientStartup.sh", dir);
  FILE* file = fopen(script, "wb");
  if (file == NULL || fputs(sample, file) < 0 || fclose(file) != 0 || chmod(script, 0644) != 0) {
    Fail("cannot install %s", script);
    return NULL;
  }
  return dir;
}

static const char* self;  // this program
extern char** environ;
static char errorPath[160];  // the helper's standard error

// "-" stands for no argument on the helper's command line.
static const char* Arg(const char* text) { return text != NULL ? text : "-"; }
static const char* Given(const char* arg) { return strcmp(arg, "-") == 0 ? NULL : arg; }

static NSAppleEventDescriptor* EventOf(const char* link) {
  NSString* text = nil;
  if (link != NULL) {
    // "<NUL>" in a link stands for a NUL character, which an NSString can hold.
    unichar nul = 0;
    text = [[NSString stringWithUTF8String:link]
        stringByReplacingOccurrencesOfString:@"<NUL>"
                                  withString:[NSString stringWithCharacters:&nul length:1]];
  }
  return MakeGetURLEvent(text);
}

// The helper: launches a delegate, delivers a 'GURL' event for `link` (none when
// "-"), runs the run loop for `delay` seconds, delivers `second` (if any) and
// runs the run loop until the app ends itself. With a delay, the first script
// must still run when the loop has run (the handler waited for nothing).
// A negative delay: launching finishes first, and `link` (if any) comes -delay
// seconds later.
static int Handle(const char* link, const char* second, double delay, const char* workingDirectory) {
  if (workingDirectory != NULL && chdir(workingDirectory) != 0) return 4;
  [[NSAutoreleasePool alloc] init];
  AppDelegate* delegate = [[AppDelegate alloc] init];
  [delegate applicationWillFinishLaunching:nil];
  if (delay < 0) {
    [delegate applicationDidFinishLaunching:nil];
    [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:-delay]];
    if (link != NULL && !DeliverGetURLEvent(EventOf(link))) return 3;
    [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:20]];
    return 2;  // the app did not end by itself
  }
  if (!DeliverGetURLEvent(EventOf(link))) return 3;  // nothing registered for 'GURL'/'GURL'
  if (second != NULL) {
    if (delay > 0) {
      [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:delay]];
      if (delay < 0.5 && access(donePath, F_OK) == 0) return 5;  // the handler waited for the script
    }
    if (!DeliverGetURLEvent(EventOf(second))) return 3;
  }
  [[NSRunLoop currentRunLoop] runUntilDate:[NSDate dateWithTimeIntervalSinceNow:20]];
  return 2;  // the app did not end by itself
}

// Runs the helper; its wait status. Its standard error goes to errorPath.
static int RunHandlers(const char* link, const char* second, double delay, const char* workingDirectory) {
  unlink(recordPath);
  unlink(donePath);
  char delayText[32];
  snprintf(delayText, sizeof delayText, "%g", delay);
  const char* argv[] = {self, "--handle", root, Arg(link), Arg(second), delayText, Arg(workingDirectory),
                        NULL};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errorPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t child = -1;
  fflush(NULL);
  const int spawned = posix_spawn(&child, self, &actions, NULL, (char* const*)argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = -1;
  while (spawned == 0 && waitpid(child, &status, 0) < 0) {
  }
  return status;
}

static int RunHandler(const char* link, const char* workingDirectory) {
  return RunHandlers(link, NULL, 0, workingDirectory);
}

static int ExpectStatusZero(int status, const char* link) {
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return Fail("link %s: wait status 0x%x, not an exit with 0", link ? link : "(none)", status);
  }
  return 0;
}

// The run ended with 0 after the script had run to its end with `script` as
// its path and `link` as its only argument.
static int ExpectScriptRan(const char* link, const char* client) {
  if (client == NULL || ExpectStatusZero(RunHandler(link, NULL), link) != 0) {
    return 1;
  }
  const char* recorded = ReadWholeFile(recordPath);
  if (recorded == NULL) {
    return Fail("link %s: the start script did not run", link);
  }
  const char* expected = Format("%s/bin/clientStartup.sh\n1\n%s\n", client, link);
  int failed = 0;
  if (strcmp(recorded, expected) != 0) {
    failed = Fail("link %s: script got\n%s--- instead of\n%s---", link, recorded, expected);
  }
  if (access(donePath, F_OK) != 0) {
    failed = Fail("link %s: the process ended before the script did", link);
  }
  return failed;
}

// Nothing ran, and the refusal was logged with `reason` (the unified log on
// macOS, standard error here).
static int ExpectRefused(const char* link, const char* workingDirectory, const char* reason) {
  if (ExpectStatusZero(RunHandler(link, workingDirectory), link) != 0) {
    return 1;
  }
  if (access(recordPath, F_OK) == 0) return Fail("link %s: a script ran", link ? link : "(none)");
#ifndef __APPLE__
  const char* said = ReadWholeFile(errorPath);
  if (said == NULL || strstr(said, "link refused (") == NULL ||
      (reason != NULL && strstr(said, reason) == NULL)) {
    return Fail("link %s: the refusal (%s) was not logged: %s", link ? link : "(none)",
                reason ? reason : "any", said ? said : "(nothing)");
  }
  // What follows the client directory (the payload) is logged as private.
  const char* payload = link != NULL ? strpbrk(link, "#$") : NULL;
  if (payload != NULL && (strstr(said, payload) != NULL || strstr(said, "<private>") == NULL)) {
    return Fail("link %s: the payload was logged in the open: %s", link, said);
  }
#else
  (void)reason;
#endif
  return 0;
}

static int ExpectNothingRan(const char* link, const char* workingDirectory) {
  return ExpectRefused(link, workingDirectory, NULL);
}

// --- cases -----------------------------------------------------------------

static int RegistersAtLaunchOnly(void) {
  NSAutoreleasePool* pool = [[NSAutoreleasePool alloc] init];
  AppDelegate* delegate = [[AppDelegate alloc] init];
  int failed = 0;
  // Where the manager tells its handlers (the stand-in's): none before launching,
  // one after. The real one is seen at work in the other cases.
  [delegate applicationDidFinishLaunching:nil];
  if (RegisteredHandlerCount() > 0) {
    failed = Fail("finishing launching registered a handler");
  }
  [delegate applicationWillFinishLaunching:nil];
  if (RegisteredHandlerCount() != -1 && RegisteredHandlerCount() != 1) {
    failed = Fail("%ld handlers after launching", RegisteredHandlerCount());
  }

  // The window outlet is a plain assignment: no retain, no copy.
  NSObject* window = [[NSObject alloc] init];
  NSUInteger count = [window retainCount];
  [delegate setWindow:(NSWindow*)window];
  if ([delegate window] != (NSWindow*)window || [window retainCount] != count) {
    failed = Fail("window is not assigned as is");
  }
  [window release];
  [delegate release];
  [pool release];
  return failed;
}

static int RunsScriptOfFirstPieceWithTheWholeLink(void) {
  const char* client = InstallClient("client");
  const char* escaped = InstallClient("my%20client");
  const char* sub = InstallClient("sub");
  // Only the text before the first "$", and there before the first "#".
  return ExpectScriptRan(Format("nvzav://%s#p1$x", client), client) |
         ExpectScriptRan(Format("nvzav://%s#a/b?c$%s/other$$d", client, root), client) |
         // Percent escapes stay as written: "my client" is not the directory.
         (InstallClient("my client") == NULL) | ExpectScriptRan(Format("nvzav://%s#x", escaped), escaped) |
         // Every "nvzav://" goes before reading; the script gets them all.
         ExpectScriptRan(Format("nvzav://%s/nvzav://sub#nvzav://x$nvzav://y", root), sub);
}

static int UnusableLinkStartsNothing(void) {
  const char* client = InstallClient("client");
  if (client == NULL || InstallClient("a b") == NULL || InstallClient("a|b") == NULL ||
      InstallClient("a%zz") == NULL) {
    return 1;
  }
  return ExpectRefused(Format("nvzav://%s$b#x", client), NULL, "no client directory") |
         // macOS refuses a second "#", and brackets outside a host.
         ExpectNothingRan(Format("nvzav://%s#a#b$%s/other#c$$d", client, root), NULL) |
         ExpectRefused(Format("nvzav://%s#a[1]", client), NULL, "a [ or ]") |
         ExpectNothingRan(Format("nvzav://$%s#x", client), NULL) |
         ExpectNothingRan(Format("nvzav://%s/a b#x", root), NULL) |  // no URL
         ExpectNothingRan(Format("nvzav://%s/a|b#x", root), NULL) |
         ExpectNothingRan(Format("nvzav://%s/a%%zz#x", root), NULL) |
         ExpectNothingRan(NULL, NULL) |                                      // no direct object
         ExpectNothingRan("", NULL) | ExpectNothingRan("nvzav://#x", NULL);  // empty directory
}

// Text that is no URL gives no URL on every macOS, also where NSURL could encode
// it into one; a NUL anywhere refuses the link.
static int TextThatIsNoUrlIsNotEncodedIntoOne(void) {
  const char* client = InstallClient("client");
  if (client == NULL || InstallClient("a%20b") == NULL || InstallClient("a%7Cb") == NULL) {
    return 1;
  }
  return ExpectNothingRan(Format("nvzav://%s/a b#x", root), NULL) |
         ExpectNothingRan(Format("nvzav://%s/a|b#x", root), NULL) |
         ExpectNothingRan(Format("nvzav://%s#x<NUL>$y", client), NULL) |
         ExpectNothingRan(Format("nvzav://%s<NUL>/x#y", client), NULL) |
         ExpectScriptRan(Format("nvzav://%s/a%%20b#x", root), Format("%s/a%%20b", root));
}

static int UnsafeInstallationIsRefused(void) {
  const char* client = InstallClient("client");
  const char* real = InstallClient("real");
  if (client == NULL || real == NULL || MakeDirectory(Format("%s/other", root), 0755) != 0) {
    return 1;
  }
  const char* script = Format("%s/bin/clientStartup.sh", client);
  const char* bin = Format("%s/bin", client);
  const char* link = Format("nvzav://%s#x", client);
  int failed = ExpectNothingRan("nvzav://client#x", root) |  // relative
               ExpectNothingRan(Format("nvzav://%s/other/../client#x", root), NULL);

  const mode_t scriptModes[] = {0664, 0646};
  for (size_t i = 0; i < 2; ++i) {
    chmod(script, scriptModes[i]);
    failed |= ExpectRefused(link, NULL, "script writable by others");
  }
  chmod(script, 0644);
  const mode_t directoryModes[] = {0775, 0757};
  for (size_t i = 0; i < 2; ++i) {
    chmod(bin, directoryModes[i]);
    failed |= ExpectNothingRan(link, NULL);
  }
  chmod(bin, 0755);

#ifdef __APPLE__
  // A downloaded script.
  const char mark[] = "0081;00000000;Safari;";
  if (setxattr(script, "com.apple.quarantine", mark, sizeof mark - 1, 0, 0) != 0) {
    return Fail("setxattr");
  }
  failed |= ExpectNothingRan(link, NULL);
  removexattr(script, "com.apple.quarantine", 0);
#endif

  unlink(script);
  if (symlink(Format("%s/bin/clientStartup.sh", real), script) != 0) {
    return Fail("symlink");
  }
  return failed | ExpectNothingRan(link, NULL);
}

// Links wait their turn: one that comes before the run loop has run, one that comes
// while the first script runs (the handler did not wait for it), and one that comes
// after it ended but before the app quit: each runs after the first, and the app
// then ends.
static int SecondLinkIsHandledAfterTheFirst(void) {
  const char* first = InstallClient("first");
  if (first == NULL || MakeDirectory(Format("%s/sub", root), 0755) != 0) {
    return 1;
  }
  const char* second = InstallClient("sub/second");
  const char* firstLink = Format("nvzav://%s#1", first);
  const char* secondLink = Format("nvzav://%s#2", second);
  const char* secondRecord = Format("%s/sub/record", root);
  const double delays[] = {0, 0.3, 1.6};
  int failed = second == NULL;
  for (size_t i = 0; !failed && i < sizeof delays / sizeof delays[0]; ++i) {
    unlink(secondRecord);
    unlink(Format("%s.done", secondRecord));
    failed |= ExpectStatusZero(RunHandlers(firstLink, secondLink, delays[i], NULL), firstLink);
    const char* recorded = ReadWholeFile(recordPath);
    if (recorded == NULL || strstr(recorded, firstLink) == NULL)
      failed |= Fail("the first link's script did not run");
    recorded = ReadWholeFile(secondRecord);
    if (recorded == NULL || strstr(recorded, secondLink) == NULL) {
      failed |= Fail("delay %g: the second link's script did not run", delays[i]);
    }
    if (access(Format("%s.done", secondRecord), F_OK) != 0) {
      failed |= Fail("delay %g: the app ended before the second script did", delays[i]);
    }
  }
  return failed;
}

// Launching has finished before the link comes: it is handled all the same, and
// an app that gets none quits by itself after the quit delay.
static int NoLinkIsLostAfterLaunching(void) {
  const char* client = InstallClient("client");
  if (client == NULL) return 1;
  const char* link = Format("nvzav://%s#late", client);
  int failed = ExpectStatusZero(RunHandlers(NULL, NULL, -0.5, NULL), "(none)") |
               ExpectStatusZero(RunHandlers(link, NULL, -0.5, NULL), link);
  const char* recorded = ReadWholeFile(recordPath);
  if (recorded == NULL || strstr(recorded, link) == NULL)
    failed |= Fail("the late link's script did not run");
  return failed;
}

struct Case {
  const char* name;
  int (*run)(void);
};

static const struct Case cases[] = {
    {"registers_at_launch_only", RegistersAtLaunchOnly},
    {"runs_script_of_first_piece_with_the_whole_link", RunsScriptOfFirstPieceWithTheWholeLink},
    {"unusable_link_starts_nothing", UnusableLinkStartsNothing},
    {"text_that_is_no_url_is_not_encoded_into_one", TextThatIsNoUrlIsNotEncodedIntoOne},
    {"unsafe_installation_is_refused", UnsafeInstallationIsRefused},
    {"second_link_is_handled_after_the_first", SecondLinkIsHandledAfterTheFirst},
    {"no_link_is_lost_after_launching", NoLinkIsLostAfterLaunching},
};

int main(int argc, char* argv[]) {
  self = argv[0];
  if (argc == 7 && strcmp(argv[1], "--handle") == 0) {
    snprintf(root, sizeof root, "%s", argv[2]);
    snprintf(recordPath, sizeof recordPath, "%s/record", root);
    snprintf(donePath, sizeof donePath, "%s.done", recordPath);
    return Handle(Given(argv[3]), Given(argv[4]), atof(argv[5]), Given(argv[6]));
  }
  const struct Case* chosen = NULL;
  for (size_t i = 0; argc == 2 && i < sizeof cases / sizeof cases[0]; ++i) {
    if (strcmp(argv[1], cases[i].name) == 0) {
      chosen = &cases[i];
    }
  }
  if (chosen == NULL) {
    fprintf(stderr, "usage: %s <case>\n", argv[0]);
    return 2;
  }

  strcpy(root, "/tmp/maclauncher-delegate.XXXXXX");
  if (mkdtemp(root) == NULL) {
    return Fail("mkdtemp");
  }
  snprintf(recordPath, sizeof recordPath, "%s/record", root);
  snprintf(donePath, sizeof donePath, "%s.done", recordPath);
  snprintf(errorPath, sizeof errorPath, "%s.stderr", root);

  int failed = chosen->run();
  unlink(errorPath);

  if (system(Format("rm -rf '%s'", root)) != 0) {
    failed = Fail("cannot remove %s", root);
  }
  printf("%s %s\n", failed ? "FAILED" : "passed", chosen->name);
  return failed;
}
