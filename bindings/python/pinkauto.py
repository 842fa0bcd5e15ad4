"""The suite's automation objects from Python, through libpinkauto.so.

A thin ctypes binding of include/pink/automation.h for POS programs written
in Python. Ship this file beside libpinkauto.so (or point load() at it):

    import pinkauto as pa
    pa.load()                                   # libpinkauto.so beside this file
    pad = pa.create("STYLPAD.StylPadCtrl")
    status, args, result = pa.call(pad, "OpenSign", [pa.text("/var/log/pos/"), pa.num(pa.I4, 2), pa.text("12000")])
    pa.advise(pad, lambda dispid, name, args: print(name, [pa.show(a) for a in args]))
    while True:
        select.select([pa.lib.pink_fd(pad)], [], [])
        pa.lib.pink_pump(pad, 0)                # events arrive here, on this thread

Values are pinkauto.Value structures with the VARIANT type numbers; strings
cross as UTF-8. call() returns (status, args, result): status 0 done, -1
unknown member, -2 wrong argument count, -3 an argument of the wrong type;
out-arguments (byref=1) are written back into args.
"""
import ctypes
import os

EMPTY, I2, I4, STR, BOOL, BYTES = 0, 2, 3, 8, 11, 0x2011
METHOD, GET, PUT = 1, 2, 4


class Value(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int32), ("num", ctypes.c_int32), ("str", ctypes.c_char_p),
                ("bytes", ctypes.POINTER(ctypes.c_uint8)), ("len", ctypes.c_int32),
                ("byref", ctypes.c_int32)]


EVENT = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_char_p,
                         ctypes.POINTER(Value), ctypes.c_int32)

lib = None
_callbacks = {}  # keeps each object's event callback alive


def load(path=None):
    """Loads libpinkauto.so and declares its calls.

    By default the library beside this file is taken; an installed binding
    (in Python's own package folder) finds it on the loader's search path.
    """
    global lib
    if path is None:
        path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "libpinkauto.so")
        if not os.path.exists(path):
            path = "libpinkauto.so"
    lib = ctypes.CDLL(path)
    lib.pink_create.restype = ctypes.c_void_p
    lib.pink_create.argtypes = [ctypes.c_char_p]
    lib.pink_release.argtypes = [ctypes.c_void_p]
    lib.pink_dispid.argtypes = [ctypes.c_void_p, ctypes.c_char_p]
    lib.pink_invoke.argtypes = [ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                ctypes.POINTER(Value), ctypes.c_int32, ctypes.POINTER(Value)]
    lib.pink_advise.argtypes = [ctypes.c_void_p, EVENT, ctypes.c_void_p]
    lib.pink_pump.argtypes = [ctypes.c_void_p, ctypes.c_int32]
    lib.pink_fd.argtypes = [ctypes.c_void_p]
    lib.pink_snapshot.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int32, ctypes.c_int32]
    return lib


def create(progid):
    """A new object of the class with this ProgID, or None."""
    return lib.pink_create(progid.encode())


def release(o):
    _callbacks.pop(o, None)
    lib.pink_release(o)


def text(t, byref=0):
    """A string argument (None counts as empty); byref=1 for an out-argument."""
    return Value(STR, 0, None if t is None else t.encode(), None, 0, byref)


def num(t, v=0, byref=0):
    """A number argument of type I2, I4 or BOOL; byref=1 for an out-argument."""
    return Value(t, v, None, None, 0, byref)


def show(v):
    """A Value as Python: str, list of bytes, or int."""
    if v.type == STR:
        return v.str.decode() if v.str is not None else ""
    if v.type == BYTES:
        return list(v.bytes[:v.len]) if v.len > 0 else []
    return v.num


def call(o, name, values, kind=METHOD):
    """Invokes a member by name; returns (status, args, result)."""
    args = (Value * max(len(values), 1))(*values)
    result = Value()
    status = lib.pink_invoke(o, lib.pink_dispid(o, name.encode()), kind, args, len(values),
                             ctypes.byref(result))
    return status, args, result


def advise(o, handler):
    """Sends the object's events to handler(dispid, name, args)."""
    def on_event(ctx, dispid, name, args, nargs):
        handler(dispid, name.decode(), [args[i] for i in range(nargs)])
    callback = EVENT(on_event)
    _callbacks[o] = callback
    lib.pink_advise(o, callback, None)
