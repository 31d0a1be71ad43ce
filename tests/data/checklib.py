"""The small runner the data checks share: each check is a function decorated with
@check(name) that runs at once; it passes unless it raises. A check may return a detail to
print, or "skip". finish() prints "N passed, M failed" and exits non-zero on a failure."""
import sys
import traceback

results = []


def check(name):
    def wrap(fn):
        try:
            detail = fn()
        except Exception as exc:        # a failed assertion or a broken file
            msg = str(exc) or exc.__class__.__name__
            if not isinstance(exc, AssertionError):
                msg = traceback.format_exception_only(type(exc), exc)[-1].strip()
            results.append(False)
            sys.stdout.write("FAIL %s: %s\n" % (name, msg))
        else:
            if detail == "skip":
                sys.stdout.write("SKIP %s\n" % name)
                return fn
            results.append(True)
            sys.stdout.write("ok   %s%s\n" % (name, (": " + detail) if detail else ""))
        sys.stdout.flush()
        return fn
    return wrap


def fail(name, why):
    results.append(False)
    sys.stdout.write("FAIL %s: %s\n" % (name, why))


def finish():
    passed = results.count(True)
    failed = results.count(False)
    sys.stdout.write("%d passed, %d failed\n" % (passed, failed))
    sys.exit(1 if failed else 0)
