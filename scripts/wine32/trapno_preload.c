/* Loaded into every 32-bit Wine process that runs under user-mode QEMU (listed
 * in the runtime's etc/ld.so.preload, which only the i386 dynamic loader reads).
 *
 * QEMU hands i386 guests a signal context whose trap number is -1. Wine's i386
 * signal handlers decide by that number what a fault was, so every access
 * violation would become an illegal-instruction exception, and IsBadReadPtr and
 * guard pages would stop working. This library wraps sigaction for the fault
 * signals and fills in the trap number the processor would have given before
 * Wine's handler sees the context.
 *
 * Built without i386 headers (none are installed): the few types needed are
 * declared here with the i386 glibc layout. */

typedef unsigned int size_t;

struct siginfo_head { int si_signo, si_errno, si_code; };
typedef void (*info_handler)(int, struct siginfo_head *, void *);

struct kernel_sigaction_layout {          /* glibc's struct sigaction on i386 */
  union { void (*plain)(int); info_handler info; } handler;
  unsigned long mask[32];
  int flags;
  void (*restorer)(void);
};

struct ucontext_head {                    /* ucontext_t up to its registers */
  unsigned long flags;
  void *link;
  struct { void *sp; int flags; size_t size; } stack;
  int gregs[19];
};

enum { SIGILL = 4, SIGBUS = 7, SIGFPE = 8, SIGSEGV = 11, SA_SIGINFO = 4, REG_TRAPNO = 12,
       SEGV_MAPERR = 1, SEGV_ACCERR = 2, FPE_INTDIV = 1, FPE_INTOVF = 2, MAX_SIGNAL = 65 };
#define SIG_DFL ((void (*)(int))0)
#define SIG_IGN ((void (*)(int))1)
#define RTLD_NEXT ((void *)-1l)

extern void *dlsym(void *, const char *);

typedef int (*sigaction_fn)(int, const struct kernel_sigaction_layout *, struct kernel_sigaction_layout *);
static struct kernel_sigaction_layout installed[MAX_SIGNAL];

static int trap_number(int signal, int code) {
  switch (signal) {
  case SIGSEGV: return code == SEGV_MAPERR || code == SEGV_ACCERR ? 14 : 13; /* page fault, or protection */
  case SIGILL: return 6;                                                    /* invalid opcode */
  case SIGFPE: return code == FPE_INTDIV ? 0 : code == FPE_INTOVF ? 4 : 16; /* divide, overflow, x87 */
  default: return 13;                                                       /* SIGBUS: protection */
  }
}

static void fill_trap_number(int signal, struct siginfo_head *info, void *context) {
  struct ucontext_head *uc = (struct ucontext_head *)context;
  if (uc->gregs[REG_TRAPNO] < 0 || uc->gregs[REG_TRAPNO] > 31)
    uc->gregs[REG_TRAPNO] = trap_number(signal, info ? info->si_code : 0);
  if (installed[signal].flags & SA_SIGINFO)
    installed[signal].handler.info(signal, info, context);
  else
    installed[signal].handler.plain(signal);
}

static int is_fault_signal(int signal) {
  return signal == SIGSEGV || signal == SIGBUS || signal == SIGILL || signal == SIGFPE;
}

int sigaction(int signal, const struct kernel_sigaction_layout *act, struct kernel_sigaction_layout *old) {
  static sigaction_fn real;
  if (!real) real = (sigaction_fn)dlsym(RTLD_NEXT, "sigaction");
  if (!is_fault_signal(signal) || !act || act->handler.plain == SIG_DFL || act->handler.plain == SIG_IGN) {
    int result = real(signal, act, old);
    if (result == 0 && old && is_fault_signal(signal) && old->handler.info == fill_trap_number)
      *old = installed[signal];
    if (result == 0 && act && is_fault_signal(signal)) installed[signal] = *act;
    return result;
  }
  struct kernel_sigaction_layout wrapped = *act;
  wrapped.handler.info = fill_trap_number;
  wrapped.flags |= SA_SIGINFO;
  struct kernel_sigaction_layout previous_wrapped = installed[signal];
  installed[signal] = *act;
  int result = real(signal, &wrapped, old);
  if (result != 0) installed[signal] = previous_wrapped;
  else if (old && old->handler.info == fill_trap_number) *old = previous_wrapped;
  return result;
}
