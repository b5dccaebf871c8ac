"""The handheld around the item's ARM DLL: heap, C runtime, registry,
handles, windows and their messages, and GDI. Calls that draw or write are
logged as effect lines, in the form the desktop recorder writes them; calls
whose answer depends on fonts or the locale are answered from the desktop
build's own recorded answers, so both builds measure the same."""
import struct
from arm import Fault, HEAP, HEAP_SIZE

WM_CREATE, WM_DESTROY, WM_PAINT, WM_TIMER = 0x0001, 0x0002, 0x000F, 0x0113
WM_WINDOWPOSCHANGED, WM_USER = 0x0047, 0x0400
TODAYM_GETCOLOR, TODAYM_DRAWWATERMARK, TODAYM_TOOKSELECTION = WM_USER + 100, WM_USER + 101, WM_USER + 102
HOST_COLORS = {0x10000004: 0x000000, 0x10000022: 0x6A240A, 0x10000023: 0xFFFFFF}
STOCK_BASE = 0x0F000000    # GetStockObject(i) is STOCK_BASE + i
WHITE_BRUSH, BLACK_PEN, SYSTEM_FONT, DEFAULT_BITMAP = 0, 7, 13, 21
OBJ_PEN, OBJ_BRUSH, OBJ_FONT, OBJ_BITMAP = 1, 2, 6, 7
HKCU, HKLM = 0x80000001, 0x80000002
REG_SZ, REG_DWORD = 1, 4


def signed(v):
    return v - (1 << 32) if v & 0x80000000 else v


class Heap:
    """First-fit blocks in the heap region; a block freed twice or never
    allocated is a fault."""

    def __init__(self):
        self.blocks, self.next = {}, HEAP + 16
        self.taken = set()              # the blocks the DLL asked for
        self.in_use = self.high = 0     # bytes of the DLL's blocks: now, at most

    def alloc(self, size):
        at = self.next
        self.next = (self.next + max(size, 1) + 15) & ~7
        if self.next > HEAP + HEAP_SIZE:
            raise Fault('heap exhausted')
        self.blocks[at] = size
        return at

    def take(self, size):
        """A block the DLL asked for, counted until it gives it back."""
        at = self.alloc(size)
        self.taken.add(at)
        self.in_use += size
        self.high = max(self.high, self.in_use)
        return at

    def free(self, at):
        if at in self.taken:
            self.taken.discard(at)
            self.in_use -= self.blocks[at]
        if at and self.blocks.pop(at, None) is None:
            raise Fault('free of 0x%08x, which is no block' % at)


class Handles:
    """Every handle the system gave out, by kind, until it is given back."""

    def __init__(self):
        self.live, self.next = {}, 0x1000

    def new(self, kind, record):
        self.next += 4
        self.live[self.next] = (kind, record)
        return self.next

    def get(self, handle, kind):
        entry = self.live.get(handle)
        if entry is None or entry[0] != kind:
            return None
        return entry[1]

    def close(self, handle, kind):
        if self.live.get(handle, ('',))[0] != kind:
            raise Fault('%s 0x%x closed but never given out' % (kind, handle))
        del self.live[handle]


class Dc:
    def __init__(self, name, stock):
        self.name = name
        self.text_color, self.align, self.bk_mode = 0, 0, 2    # black, TA_LEFT | TA_TOP, OPAQUE
        self.selected = dict(stock)
        self.original = dict(stock)


class Window:
    """A window: `rect` is (x, y, width, height) in its parent's client
    area. A system window (the host, a sheet, a control) has no procedure
    in the DLL; a dialog has its dialog procedure. A dialog or control made
    by the dialog manager has its `control` record (dialogs.Control)."""

    def __init__(self, proc, parent, rect, style, redraw=0):
        self.proc, self.parent, self.rect, self.style = proc, parent, rect, style
        self.redraw = redraw      # the class redraws the window when its size changes
        self.invalid, self.timers, self.longs = False, {}, {}
        self.children, self.dialog, self.ended, self.control = [], None, False, None


class Device:
    """The system's state and its answers to the DLL's imports."""

    def __init__(self, cpu, answers, registry, clock):
        self.cpu, self.recorded, self.registry = cpu, answers, registry
        self.clock = clock
        self.heap, self.handles = Heap(), Handles()
        self.classes, self.posted, self.effects = {}, [], []
        self.host = self.handles.new('window', Window(None, 0, (0, 0, *answers['Screen']), 0))
        self.messages, self.last_error, self.registry_writes = {}, 0, 0
        self.holding, self.bitmaps = False, 0
        self.locale = 'user'    # the locale the device answers for the user's
        self.in_sheet, self.clicks = False, []    # the options sheet open; its scripted clicks
        self.dialogs = None     # the dialog manager, once the device has one

    def string_resource(self, ident):
        """(address, length) of string `ident` in the DLL's own table."""
        data = self.resource(6, ident // 16 + 1)[0]
        for _ in range(ident % 16):
            data += 2 + 2 * struct.unpack('<H', self.cpu.uc.mem_read(data, 2))[0]
        return data + 2, struct.unpack('<H', self.cpu.uc.mem_read(data, 2))[0]

    def resource(self, kind, ident):
        """(address, size) of resource `ident` of type `kind` in the DLL."""
        cpu = self.cpu
        root = cpu.base + cpu.image.directory[2][0]

        def entry(directory, ident):
            named, numbered = struct.unpack('<HH', cpu.uc.mem_read(directory + 12, 4))
            for i in range(named + numbered):
                key, at = struct.unpack('<II', cpu.uc.mem_read(directory + 16 + 8 * i, 8))
                if ident is None or key == ident:
                    return root + (at & 0x7FFFFFFF)
            raise Fault('no resource %d/%s' % (kind, ident))
        rva, size = struct.unpack('<II', cpu.uc.mem_read(entry(entry(entry(root, kind), ident), None), 8))
        return cpu.base + rva, size

    def effect(self, *words):
        # While the options sheet is open, what the platform's sheet draws
        # is not the item's to compare; its registry writes are.
        if self.in_sheet and not str(words[0]).startswith('Reg'):
            return
        self.effects.append(' '.join(str(w) for w in words))

    def answer(self, *key):
        key = ' '.join(str(k) for k in key)
        if key not in self.recorded:
            raise Fault('no recorded answer for "%s"' % key)
        return self.recorded[key]

    # ---- windows and messages -------------------------------------------
    def window(self, hwnd):
        w = self.handles.get(hwnd, 'window')
        if w is None:
            raise Fault('0x%x is no window' % hwnd)
        return w

    def send(self, hwnd, msg, wp, lp):
        """A generator: delivers one message to a window's procedure; a
        dialog's procedure first, then the dialog manager's."""
        w = self.window(hwnd)
        if w.proc is not None:
            return (yield (w.proc, (hwnd, msg, wp, lp)))
        return (yield from self.system_proc(hwnd, msg, wp, lp))

    def system_proc(self, hwnd, msg, wp, lp):
        """A generator: the system's own procedure of a window."""
        w = self.window(hwnd)
        if w.dialog is not None and (yield (w.dialog, (hwnd, msg, wp, lp))):
            return 1
        if w.control is not None:
            return self.dialogs.message(w, msg, wp, lp)
        return self.host_message(msg, wp, lp)

    def host_message(self, msg, wp, lp):
        if msg == TODAYM_GETCOLOR:
            return HOST_COLORS[wp]
        if msg == TODAYM_TOOKSELECTION:
            self.effect('TookSelection')
            return 0
        if msg == TODAYM_DRAWWATERMARK:
            hdc, l, t, r, b = struct.unpack('<I4i', self.cpu.uc.mem_read(lp, 20))
            self.effect('Watermark', self.dc(hdc).name, l, t, r, b)
            return 1
        return 0

    def resize(self, hwnd, rect, flags):
        """A generator: moves a window and tells it so."""
        win = self.window(hwnd)
        if rect[2:] != win.rect[2:] and win.redraw:
            win.invalid = True
        win.rect = rect
        pos = self.heap.alloc(28)
        self.cpu.uc.mem_write(pos, struct.pack('<2I5i', hwnd, 0, *rect, flags))
        yield from self.send(hwnd, WM_WINDOWPOSCHANGED, 0, pos)
        self.heap.free(pos)

    def dc(self, hdc):
        d = self.handles.get(hdc, 'dc')
        if d is None:
            raise Fault('0x%x is no DC' % hdc)
        return d

    def new_dc(self, name):
        stock = {OBJ_FONT: STOCK_BASE + SYSTEM_FONT, OBJ_BRUSH: STOCK_BASE + WHITE_BRUSH,
                 OBJ_PEN: STOCK_BASE + BLACK_PEN, OBJ_BITMAP: STOCK_BASE + DEFAULT_BITMAP}
        return self.handles.new('dc', Dc(name, stock))

    def free_dc(self, hdc):
        d = self.dc(hdc)
        if d.selected != d.original:
            raise Fault('DC %s released with objects still selected' % d.name)
        self.handles.close(hdc, 'dc')
