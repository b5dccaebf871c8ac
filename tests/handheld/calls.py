"""The answer to each system call the item imports, by name. A call that no
scripted life reaches yet is listed in UNPLAYED: it binds, and fails the run
that calls it, naming it."""
import datetime
import re
import struct
from arm import Fault
from dialogs import muldiv
from device import (HKCU, HKLM, REG_DWORD, STOCK_BASE, BLACK_PEN, DEFAULT_BITMAP, SYSTEM_FONT, OBJ_BITMAP,
                    OBJ_BRUSH, OBJ_FONT, OBJ_PEN, WM_CREATE, WM_PAINT, Window, signed)

UNPLAYED = '''BringWindowToTop DialogBoxIndirectParamW
FindResourceW
LoadResource MessageBoxW
OutputDebugStringW SetForegroundWindow
ShellExecuteEx SystemTimeToFileTime TerminateProcess
VirtualProtect VirtualQuery mbstowcs strlen
Rectangle'''.split()
LOGFONT = struct.Struct('<5i8B64s')
GWL_WNDPROC, GWL_STYLE, GW_HWNDNEXT, GW_CHILD = -4, -16, 2, 5
WS_DISABLED, DT_CALCRECT = 0x08000000, 0x400
# The file the user picks in the file chooser, on both builds.
CHOSEN_FILE = '\\My Documents\\notes.txt'
# What GetWindowLongW reads as the procedure of a window the system runs.
SYSTEM_PROC = 0x7FFF0000
# The colours of the stock brushes and pens, by GetStockObject's index.
STOCK_COLOURS = {0: 'ffffff', 1: 'c0c0c0', 2: '808080', 3: '404040', 4: '000000', 5: 'hollow', 6: 'ffffff',
                 7: '000000', 8: 'hollow'}


def a(cpu, n):
    return [cpu.arg(i) for i in range(n)]


def rect(cpu, at):
    return struct.unpack('<4i', cpu.uc.mem_read(at, 16))


def put(cpu, at, fmt, *values):
    cpu.uc.mem_write(at, struct.pack(fmt, *values))


def logfont_key(cpu, at):
    h, w, esc, orient, weight, italic, _, _, _, _, _, quality, _, face = LOGFONT.unpack(cpu.uc.mem_read(at, 92))
    face = face.decode('utf-16-le').split('\0')[0]
    return '%d/%d/%d/%d/%d/%s' % (h, w, weight, italic, quality, face.replace(' ', '_'))


def table(dev):
    cpu = dev.cpu
    out = {}

    def answer(fn):
        out[fn.__name__] = fn
        return fn

    def unplayed(name):
        def fail(_):
            raise Fault('%s is not played by this model yet' % name)
        return fail
    for name in UNPLAYED:
        out[name] = unplayed(name)

    # ---- heap and C runtime ------------------------------------------
    out['GetProcessHeap'] = lambda c: 0x5EA9

    @answer
    def HeapAlloc(c):
        at = dev.heap.take(c.arg(2))
        return zeroed(at, c.arg(2)) if c.arg(1) & 8 else at
    out['HeapFree'] = lambda c: dev.heap.free(c.arg(2)) or 1
    out['malloc'] = lambda c: dev.heap.take(c.arg(0))
    out['free'] = lambda c: dev.heap.free(c.arg(0))

    def zeroed(at, size):
        cpu.uc.mem_write(at, bytes(size))
        return at

    @answer
    def realloc(c):
        old, size = a(c, 2)
        new = dev.heap.take(size)
        if old:
            c.uc.mem_write(new, bytes(c.uc.mem_read(old, min(size, dev.heap.blocks[old]))))
            dev.heap.free(old)
        return new

    @answer
    def memcpy(c):
        d, s, n = a(c, 3)
        c.uc.mem_write(d, bytes(c.uc.mem_read(s, n)))
        return d

    @answer
    def memset(c):
        d, v, n = a(c, 3)
        c.uc.mem_write(d, bytes([v & 0xFF]) * n)
        return d

    @answer
    def memcmp(c):
        x, y, n = a(c, 3)
        p, q = bytes(c.uc.mem_read(x, n)), bytes(c.uc.mem_read(y, n))
        return (p > q) - (p < q)
    out['wcslen'] = lambda c: len(c.wstring(c.arg(0)))

    @answer
    def wcscpy(c):
        c.put_wstring(c.arg(0), c.wstring(c.arg(1)))
        return c.arg(0)

    def compare(x, y):
        return (x > y) - (x < y)
    out['wcscmp'] = lambda c: compare(c.wstring(c.arg(0)), c.wstring(c.arg(1)))
    out['lstrcmpW'] = out['wcscmp']
    out['lstrcmpiW'] = lambda c: compare(c.wstring(c.arg(0)).lower(), c.wstring(c.arg(1)).lower())

    @answer
    def wcschr(c):
        s, ch = a(c, 2)
        i = (c.wstring(s) + '\0').find(chr(ch))
        return s + 2 * i if i >= 0 else 0

    @answer
    def SystemTimeToFileTime(c):
        year, month, _, day, hour, minute, second, ms = struct.unpack('<8H', c.uc.mem_read(c.arg(0), 16))
        since = datetime.datetime(year, month, day, hour, minute, second, ms * 1000) - datetime.datetime(1601, 1, 1)
        put(c, c.arg(1), '<Q', (since // datetime.timedelta(microseconds=1)) * 10)
        return 1

    @answer
    def CompareFileTime(c):
        x, y = (struct.unpack('<Q', c.uc.mem_read(at, 8))[0] for at in a(c, 2))
        return (x > y) - (x < y)

    @answer
    def wcsstr(c):
        s, part = a(c, 2)
        i = c.wstring(s).find(c.wstring(part))
        return s + 2 * i if i >= 0 else 0

    @answer
    def CharLowerW(c):
        c.put_wstring(c.arg(0), c.wstring(c.arg(0)).lower())
        return c.arg(0)

    @answer
    def _wtol(c):
        digits = c.wstring(c.arg(0)).strip()
        n = len(digits) - len(digits.lstrip('+-0123456789'))
        try:
            return int(digits[:n])
        except ValueError:
            return 0
    @answer
    def wsprintfW(c):
        following = iter(range(2, 32))
        conversions = {'s': lambda v: c.wstring(v), 'd': lambda v: str(signed(v)), 'u': str}

        def convert(m):
            if m.group(1) == '%':
                return '%'
            if m.group(1) not in conversions:
                raise Fault('conversion %%%s is not one the model formats' % m.group(1))
            return conversions[m.group(1)](c.arg(next(following)))
        text = re.sub('%(.)', convert, c.wstring(c.arg(1)))
        c.put_wstring(c.arg(0), text)
        return len(text)
    # The C runtime's stream teardown at unload: the item opens no stream.
    out['fflush'] = lambda c: 0
    out['_fcloseall'] = lambda c: 0
    out['GetLastError'] = lambda c: dev.last_error
    out['GetTickCount'] = lambda c: dev.clock.ticks
    out['InterlockedExchange'] = lambda c: exchange(c.arg(0), c.arg(1))

    def exchange(at, value):
        old = cpu.read32(at)
        cpu.write32(at, value)
        return old

    @answer
    def GetLocalTime(c):
        put(c, c.arg(0), '<8H', *dev.clock.time)

    # ---- registry ------------------------------------------------------
    def key_path(h):
        return {HKCU: 'HKCU', HKLM: 'HKLM'}.get(h) or dev.handles.get(h, 'key')

    def open_key(c, create):
        root, sub = c.arg(0), c.wstring(c.arg(1))
        path = key_path(root) + '\\' + sub.lower() if sub else key_path(root)
        if path not in dev.registry:
            if not create:
                return 2
            dev.registry[path] = {}
        result = c.arg(7) if create else c.arg(4)
        c.write32(result, dev.handles.new('key', path))
        return 0
    out['RegOpenKeyExW'] = lambda c: open_key(c, False)
    out['RegCreateKeyExW'] = lambda c: open_key(c, True)
    out['RegCloseKey'] = lambda c: dev.handles.close(c.arg(0), 'key')

    @answer
    def RegQueryValueExW(c):
        h, name, _, kind, data, size = a(c, 6)
        values = dev.registry[key_path(h)]
        name = c.wstring(name) or ''
        if name not in values:
            return 2
        t, raw = values[name]
        if kind:
            c.write32(kind, t)
        if size:
            room = c.read32(size)
            c.write32(size, len(raw))
            if data and room < len(raw):
                return 234
            if data:
                c.uc.mem_write(data, raw)
        return 0

    @answer
    def RegSetValueExW(c):
        h, name, _, kind, data, size = a(c, 6)
        name = c.wstring(name) or ''
        raw = bytes(c.uc.mem_read(data, size))
        dev.registry[key_path(h)][name] = (kind, raw)
        dev.registry_writes += 1
        dev.effect('RegSetValueExW', name.replace(' ', '_'), kind, raw.hex())
        return 0

    @answer
    def RegDeleteValueW(c):
        name = c.wstring(c.arg(1)) or ''
        dev.effect('RegDeleteValueW', name.replace(' ', '_'))
        return 0 if dev.registry[key_path(c.arg(0))].pop(name, None) else 2

    @answer
    def RegQueryInfoKeyW(c):
        values = dev.registry[key_path(c.arg(0))]
        counts = (len(values), max([len(n) for n in values] or [0]), max([len(v[1]) for v in values.values()] or [0]))
        for at, value in zip(a(c, 10)[7:10], counts):
            if at:
                c.write32(at, value)
        if c.arg(11):
            put(c, c.arg(11), '<Q', dev.registry_writes)
        return 0

    @answer
    def RegEnumValueW(c):
        h, index, name, chars, _, kind, data, size = a(c, 8)
        values = list(dev.registry[key_path(h)].items())
        if index >= len(values):
            return 259
        n, (t, raw) = values[index]
        if c.read32(chars) <= len(n) or (data and c.read32(size) < len(raw)):
            return 234
        c.put_wstring(name, n)
        c.write32(chars, len(n))
        c.write32(kind, t)
        if data:
            c.uc.mem_write(data, raw)
        c.write32(size, len(raw))
        return 0

    # A window told of a value's changes; the model changes none while
    # the item runs.
    @answer
    def RegistryNotifyWindow(c):
        dev.window(c.arg(3))
        c.write32(c.arg(7), dev.handles.new('notification', subkey_path(c, c.arg(0), c.arg(1))))
        return 0

    @answer
    def RegistryCloseNotification(c):
        dev.handles.close(c.arg(0), 'notification')
        return 0

    def subkey_path(c, root, sub):
        """The path of a key given by a key and a subkey's name (none: the
        key itself)."""
        sub = c.wstring(sub)
        return key_path(root) + '\\' + sub.lower() if sub else key_path(root)

    @answer
    def RegistryGetDWORD(c):
        root, sub, name, data = a(c, 4)
        values = dev.registry.get(subkey_path(c, root, sub), {})
        found = values.get(c.wstring(name) or '')
        if not found or found[0] != REG_DWORD:
            return 0x80070002
        c.uc.mem_write(data, found[1][:4])
        return 0

    @answer
    def RegistryGetString(c):
        root, sub, name, data, chars = a(c, 5)
        values = dev.registry.get(subkey_path(c, root, sub), {})
        found = values.get(c.wstring(name) or '')
        if not found:
            return 0x80070002
        text = found[1].decode('utf-16-le').split('\0')[0]
        # A value longer than the buffer is refused whole.
        c.put_wstring(data, text if len(text) < chars else '')
        return 0 if len(text) < chars else 0x8007007A

    # ---- handles (threads and what they wait on: threads.py) ------------
    @answer
    def CloseHandle(c):
        h = c.arg(0)
        kind = dev.handles.live.get(h, ('?',))[0]
        if kind not in ('event', 'thread'):
            raise Fault('CloseHandle of 0x%x, which is no handle' % h)
        dev.handles.close(h, kind)
        return 1

    @answer
    def PeekMessageW(c):
        msg, hwnd, first, last, flags = a(c, 5)
        if not dev.posted:
            return 0
        put(c, msg, '<4I3I', *dev.posted[0], 0, 0, 0)
        if flags & 1:
            dev.posted.pop(0)
        return 1

    # ---- system facts ---------------------------------------------------
    out['GetSystemMetrics'] = lambda c: dev.answer('GetSystemMetrics', c.arg(0))
    out['GetSysColor'] = lambda c: dev.answer('GetSysColor', c.arg(0))
    out['GetDeviceCaps'] = lambda c: dev.answer('GetDeviceCaps', c.arg(1))

    @answer
    def SHGetUIMetrics(c):
        kind, buf, size, needed = a(c, 4)
        if kind != 1:
            raise Fault('metric %d is not played by this model yet' % kind)
        # The device's font size in hundredths of a point, 8 pt unless set.
        stored = dev.registry.get('HKCU\\controlpanel\\appearance', {}).get('FontSize')
        value = struct.unpack('<I', stored[1])[0] if stored else 800
        if needed:
            c.write32(needed, 4)
        if buf and size >= 4:
            c.write32(buf, value)
        return 0

    @answer
    def SHGetSpecialFolderPath(c):
        c.put_wstring(c.arg(1), dev.answer('SHGetSpecialFolderPath', c.arg(2)))
        return 1

    @answer
    def GetFileAttributesW(c):
        value = dev.answer('GetFileAttributesW', c.wstring(c.arg(0)).replace(' ', '_'))
        if value == 0xFFFFFFFF:
            dev.last_error = 2
        return value
    out['AddFontResourceW'] = lambda c: dev.answer('AddFontResourceW', c.wstring(c.arg(0)).replace(' ', '_'))
    out['RemoveFontResourceW'] = lambda c: dev.answer('RemoveFontResourceW', c.wstring(c.arg(0)).replace(' ', '_'))

    @answer
    def EnumFontFamiliesW(c):
        hdc, face, proc, param = a(c, 4)
        dev.dc(hdc)
        found = dev.answer('EnumFontFamiliesW', c.wstring(face))
        result = 1
        for name in found.split(',') if found else []:
            block = dev.heap.alloc(92 + 60)
            c.uc.mem_write(block, bytes(152))
            c.put_wstring(block + 28, name.replace('_', ' '))
            result = yield (proc, (block, block + 92, 4, param))
            dev.heap.free(block)
        return result

    @answer
    def RegisterWindowMessageW(c):
        name = c.wstring(c.arg(0))
        return dev.messages.setdefault(name, 0xC000 + len(dev.messages))

    @answer
    def GetLocaleInfoW(c):
        lcid, kind, buf, chars = a(c, 4)
        return give_text(c, dev.answer('GetLocaleInfoW', dev.locale, '0x%x' % kind), buf, chars)

    def give_text(c, text, buf, chars):
        if text is None:
            return 0
        if chars == 0:
            return len(text) + 1
        if chars < len(text) + 1:
            dev.last_error = 122
            return 0
        c.put_wstring(buf, text)
        return len(text) + 1

    def formatted(c, name):
        lcid, flags, when, picture, buf, chars = a(c, 6)
        st = struct.unpack('<8H', c.uc.mem_read(when, 16)) if when else dev.clock.time
        picture = (c.wstring(picture) or '-').replace(' ', '_')
        key = '%s %s 0x%x %s %s' % (name, dev.locale, flags, '-'.join(map(str, st[:7])), picture)
        return give_text(c, dev.answer(key), buf, chars)
    out['GetDateFormatW'] = lambda c: formatted(c, 'GetDateFormatW')
    out['GetTimeFormatW'] = lambda c: formatted(c, 'GetTimeFormatW')

    @answer
    def GetStringTypeW(c):
        kind, text, count, types = a(c, 4)
        s = c.wstring(text, count if signed(count) >= 0 else -1)
        words = dev.answer('GetStringTypeW', kind, s.encode('utf-16-le').hex())
        put(c, types, '<%dH' % len(words), *words)
        return 1

    # ---- resources -----------------------------------------------------
    @answer
    def LoadStringW(c):
        inst, ident, buf, chars = a(c, 4)
        at, length = dev.string_resource(ident)
        if chars == 0:
            c.write32(buf, at)
            return length
        text = c.wstring(at, length)[:chars - 1]
        c.put_wstring(buf, text)
        return len(text)

    # ---- windows -------------------------------------------------------
    @answer
    def RegisterClassW(c):
        style, proc, name = struct.unpack_from('<II28xI', c.uc.mem_read(c.arg(0), 40))
        name = c.wstring(name)
        if name in dev.classes:
            return 0
        dev.classes[name] = (proc, style)
        return 0xC100 + len(dev.classes)

    @answer
    def UnregisterClassW(c):
        return 1 if dev.classes.pop(c.wstring(c.arg(0)), None) else 0

    @answer
    def CreateWindowExW(c):
        ex, cls, title, style, x, y, w, h, parent, menu, inst, param = a(c, 12)
        if c.wstring(cls) not in dev.classes:
            return 0
        proc, redraw = dev.classes[c.wstring(cls)]
        x, y = (0 if signed(v) == signed(0x80000000) else signed(v) for v in (x, y))
        hwnd = dev.handles.new('window', Window(proc, parent, (x, y, signed(w), signed(h)), style, redraw & 3))
        cs = dev.heap.alloc(48)
        put(c, cs, '<4I4i4I', param, inst, menu, parent, signed(h), signed(w), y, x, style, title, cls, ex)
        created = yield from dev.send(hwnd, WM_CREATE, 0, cs)
        dev.heap.free(cs)
        if signed(created) == -1:
            dev.handles.close(hwnd, 'window')
            return 0
        return hwnd

    out['DefWindowProcW'] = lambda c: 0

    @answer
    def ShowWindow(c):
        return (yield from moved(c.arg(0), None))

    @answer
    def SetWindowPos(c):
        hwnd, after, x, y, w, h, flags = a(c, 7)
        return (yield from moved(hwnd, (signed(x), signed(y), signed(w), signed(h), flags)))

    def moved(hwnd, change):
        x, y, w, h = dev.window(hwnd).rect
        flags = 0x40
        if change:
            nx, ny, nw, nh, flags = change
            if not flags & 2:
                x, y = nx, ny
            if not flags & 1:
                w, h = nw, nh
        yield from dev.resize(hwnd, (x, y, w, h), flags)
        return 1

    @answer
    def UpdateWindow(c):
        win = dev.window(c.arg(0))
        if win.invalid:
            yield from dev.send(c.arg(0), WM_PAINT, 0, 0)
        return 1

    @answer
    def ValidateRect(c):
        dev.window(c.arg(0)).invalid = False
        return 1

    @answer
    def InvalidateRect(c):
        dev.window(c.arg(0)).invalid = True
        return 1

    @answer
    def GetClientRect(c):
        x, y, w, h = dev.window(c.arg(0)).rect
        put(c, c.arg(1), '<4i', 0, 0, w, h)
        return 1

    @answer
    def GetWindowLongW(c):
        win, index = dev.window(c.arg(0)), signed(c.arg(1))
        if index == GWL_STYLE:
            return win.style
        if index == GWL_WNDPROC:
            return win.proc or SYSTEM_PROC
        return win.longs.get(index, 0)

    @answer
    def SetWindowLongW(c):
        win, index, value = dev.window(c.arg(0)), signed(c.arg(1)), c.arg(2)
        if index == GWL_WNDPROC:
            old, win.proc = win.proc or SYSTEM_PROC, None if value == SYSTEM_PROC else value
            return old
        old = win.longs.get(index, 0)
        win.longs[index] = value
        return old

    @answer
    def CallWindowProcW(c):
        proc, hwnd, msg, wp, lp = a(c, 5)
        if proc == SYSTEM_PROC:
            return (yield from dev.system_proc(hwnd, msg, wp, lp))
        return (yield (proc, (hwnd, msg, wp, lp)))

    # ---- dialogs and their controls -------------------------------------
    @answer
    def PropertySheetW(c):
        return (yield from dev.dialogs.property_sheet(c.arg(0)))

    @answer
    def EndDialog(c):
        dev.window(c.arg(0)).ended = True
        return 1
    out['SHInitExtraControls'] = lambda c: 1
    out['SHInitDialog'] = lambda c: 1
    out['GetDlgItem'] = lambda c: dev.dialogs.item(c.arg(0), c.arg(1))
    out['GetDlgCtrlID'] = lambda c: dev.window(c.arg(0)).control.ident
    out['IsWindow'] = lambda c: 1 if dev.handles.get(c.arg(0), 'window') else 0

    @answer
    def SendDlgItemMessageW(c):
        dialog, ident, msg, wp, lp = a(c, 5)
        return (yield from dev.send(dev.dialogs.item(dialog, ident), msg, wp, lp))

    @answer
    def EnableWindow(c):
        win = dev.window(c.arg(0))
        was = win.style & WS_DISABLED
        win.style = win.style & ~WS_DISABLED | (0 if c.arg(1) else WS_DISABLED)
        return 1 if was else 0

    @answer
    def GetWindowTextW(c):
        hwnd, buf, chars = a(c, 3)
        text = dev.window(hwnd).control.text[:max(signed(chars) - 1, 0)]
        if signed(chars) > 0:
            c.put_wstring(buf, text)
        return len(text)

    @answer
    def GetOpenFileNameW(c):
        # The user picks the file the recorder's chooser picks.
        path, chars = struct.unpack('<2I', c.uc.mem_read(c.arg(0) + 28, 8))
        if len(CHOSEN_FILE) >= chars:
            return 0
        c.put_wstring(path, CHOSEN_FILE)
        return 1

    @answer
    def SetDlgItemTextW(c):
        # Only the pages' labels are set this way; an edit would tell its
        # page of the change.
        control = dev.window(dev.dialogs.item(c.arg(0), c.arg(1))).control
        if control.cls == 'Edit':
            raise Fault('an edit\'s text set by SetDlgItemTextW is not played by this model yet')
        control.text = c.wstring(c.arg(2))
        return 1

    @answer
    def GetClassNameW(c):
        hwnd, buf, chars = a(c, 3)
        name = dev.window(hwnd).control.cls[:chars - 1]
        c.put_wstring(buf, name)
        return len(name)

    @answer
    def MapDialogRect(c):
        across, down = dev.answer('MapDialogRect')
        l, t, r, b = rect(c, c.arg(1))
        put(c, c.arg(1), '<4i', muldiv(l, across, 4), muldiv(t, down, 8), muldiv(r, across, 4), muldiv(b, down, 8))
        return 1

    @answer
    def MapWindowPoints(c):
        src, dst, points, count = a(c, 4)
        (fx, fy), (tx, ty) = origin(src), origin(dst)
        xy = struct.unpack('<%di' % (2 * count), c.uc.mem_read(points, 8 * count))
        moved = [v + (fx - tx if i % 2 == 0 else fy - ty) for i, v in enumerate(xy)]
        put(c, points, '<%di' % (2 * count), *moved)
        return (fx - tx) & 0xFFFF | ((fy - ty) & 0xFFFF) << 16

    def origin(hwnd):
        """Where a window's client area starts on the screen."""
        x = y = 0
        while hwnd:
            win = dev.window(hwnd)
            x, y, hwnd = x + win.rect[0], y + win.rect[1], win.parent
        return x, y

    @answer
    def DrawTextW(c):
        hdc, text, count, r, flags = a(c, 5)
        if not flags & DT_CALCRECT:
            raise Fault('DrawTextW drawing is not played by this model yet')
        l, t, right, _ = rect(c, r)
        s = c.wstring(text, signed(count))
        box = dev.answer('DrawTextW', font_of(hdc), right - l, flags, s.encode('utf-16-le').hex())
        put(c, r + 8, '<2i', *box)
        return box[1] - t

    # ---- the stylus and the menu ----------------------------------------
    out['SHRecognizeGesture'] = lambda c: 1000 if dev.holding else 0

    @answer
    def ClientToScreen(c):
        x, y = struct.unpack('<2i', c.uc.mem_read(c.arg(1), 8))
        left, top = dev.window(c.arg(0)).rect[:2]
        put(c, c.arg(1), '<2i', x + left, y + top)
        return 1
    out['CreatePopupMenu'] = lambda c: dev.handles.new('menu', [])
    out['DestroyMenu'] = lambda c: dev.handles.close(c.arg(0), 'menu') or 1

    def menu_item(c, flags, ident, text):
        # An empty text reads "-", as the recorder writes it.
        return '%d:%s' % (0 if flags & 0x800 else ident, '-' if flags & 0x800 else
                          (c.wstring(text) or '-').replace(' ', '_'))

    @answer
    def AppendMenuW(c):
        menu, flags, ident, text = a(c, 4)
        dev.handles.get(menu, 'menu').append(menu_item(c, flags, ident, text))
        return 1

    @answer
    def InsertMenuW(c):
        menu, where, flags, ident, text = a(c, 5)
        if not flags & 0x400:
            raise Fault('only insertion by position is played')
        dev.handles.get(menu, 'menu').insert(where, menu_item(c, flags, ident, text))
        return 1

    @answer
    def TrackPopupMenuEx(c):
        menu, flags, x, y = a(c, 4)
        dev.effect('TrackPopupMenuEx', signed(x), signed(y), flags, *dev.handles.get(menu, 'menu'))
        return 0

    @answer
    def ShellExecuteEx(c):
        # SHELLEXECUTEINFO: cbSize, fMask, hwnd, lpVerb, lpFile, lpParameters, lpDirectory, nShow, ...
        size, mask, _, verb, path, params, folder, show = struct.unpack('<8I', c.uc.mem_read(c.arg(0), 32))
        dev.effect('ShellExecuteEx', '0x%x' % mask, (c.wstring(path) or '-').replace(' ', '_'), show)
        return 1

    @answer
    def GetWindowRect(c):
        # The host's window fills the screen from its top left corner.
        x, y = origin(c.arg(0))
        w, h = dev.window(c.arg(0)).rect[2:]
        put(c, c.arg(1), '<4i', x, y, x + w, y + h)
        return 1

    out['EqualRect'] = lambda c: 1 if rect(c, c.arg(0)) == rect(c, c.arg(1)) else 0

    @answer
    def OffsetRect(c):
        l, t, r, b = rect(c, c.arg(0))
        dx, dy = signed(c.arg(1)), signed(c.arg(2))
        put(c, c.arg(0), '<4i', l + dx, t + dy, r + dx, b + dy)
        return 1

    @answer
    def IntersectRect(c):
        out_rect, one, two = a(c, 3)
        p, q = rect(c, one), rect(c, two)
        box = (max(p[0], q[0]), max(p[1], q[1]), min(p[2], q[2]), min(p[3], q[3]))
        empty = box[0] >= box[2] or box[1] >= box[3]
        put(c, out_rect, '<4i', *((0, 0, 0, 0) if empty else box))
        return 0 if empty else 1

    @answer
    def GetParent(c):
        return dev.window(c.arg(0)).parent

    @answer
    def GetWindow(c):
        hwnd, relation = a(c, 2)
        if relation == GW_CHILD:
            return (dev.window(hwnd).children or [0])[0]
        if relation != GW_HWNDNEXT:
            raise Fault('GetWindow relation %d is not played by this model yet' % relation)
        siblings = dev.window(dev.window(hwnd).parent).children
        after = siblings[siblings.index(hwnd) + 1:]
        return after[0] if after else 0

    @answer
    def SendMessageW(c):
        return (yield from dev.send(*a(c, 4)))

    @answer
    def PostMessageW(c):
        dev.window(c.arg(0))
        dev.posted.append(tuple(a(c, 4)))
        return 1

    @answer
    def SetTimer(c):
        hwnd, ident, ms, proc = a(c, 4)
        dev.window(hwnd).timers[ident] = ms
        return ident

    @answer
    def KillTimer(c):
        return 1 if dev.window(c.arg(0)).timers.pop(c.arg(1), None) is not None else 0

    # ---- GDI -------------------------------------------------------------
    @answer
    def GetDC(c):
        return dev.new_dc('screen' if c.arg(0) == 0 else 'window')
    out['ReleaseDC'] = lambda c: dev.free_dc(c.arg(1)) or 1

    @answer
    def BeginPaint(c):
        hwnd, ps = a(c, 2)
        win = dev.window(hwnd)
        win.invalid = False
        hdc = dev.new_dc('window')
        put(c, ps, '<2I4i', hdc, 0, 0, 0, win.rect[2], win.rect[3])
        return hdc
    out['EndPaint'] = lambda c: dev.free_dc(struct.unpack('<I', c.uc.mem_read(c.arg(1), 4))[0]) or 1
    out['CreateCompatibleDC'] = lambda c: dev.new_dc('memory')

    @answer
    def DeleteDC(c):
        dev.free_dc(c.arg(0))
        return 1

    def gdi_object(kind, record):
        return dev.handles.new('gdi', (kind, record))

    def gdi_kind(h):
        if h >= STOCK_BASE:
            return stock_kind(h - STOCK_BASE)
        entry = dev.handles.get(h, 'gdi')
        if entry is None:
            raise Fault('0x%x is no GDI object' % h)
        return entry[0]

    def stock_kind(i):
        kinds = {SYSTEM_FONT: OBJ_FONT, 6: OBJ_PEN, BLACK_PEN: OBJ_PEN, 8: OBJ_PEN, DEFAULT_BITMAP: OBJ_BITMAP}
        return kinds.get(i, OBJ_BRUSH)
    out['GetStockObject'] = lambda c: STOCK_BASE + c.arg(0)

    @answer
    def CreateFontIndirectW(c):
        key = logfont_key(c, c.arg(0))
        dev.effect('CreateFontIndirectW', key)
        return gdi_object(OBJ_FONT, (key, bytes(c.uc.mem_read(c.arg(0), 92))))

    @answer
    def CreatePen(c):
        dev.effect('CreatePen', *a(c, 2), '%06x' % c.arg(2))
        return gdi_object(OBJ_PEN, c.arg(2))

    @answer
    def CreateSolidBrush(c):
        return gdi_object(OBJ_BRUSH, c.arg(0))

    @answer
    def CreateDIBSection(c):
        hdc, info, usage, bits, section, offset = a(c, 6)
        size, w, h, planes, bpp = struct.unpack('<IiiHH', c.uc.mem_read(info, 16))
        at = dev.heap.alloc(abs(w * h) * bpp // 8)
        c.write32(bits, at)
        dev.effect('CreateDIBSection', w, h, bpp)
        return gdi_object(OBJ_BITMAP, (w, h, bpp, at, next_bitmap()))

    @answer
    def CreateCompatibleBitmap(c):
        hdc, w, h = a(c, 3)
        dev.effect('CreateCompatibleBitmap', w, h)
        return gdi_object(OBJ_BITMAP, (w, h, 16, 0, next_bitmap()))

    def next_bitmap():
        dev.bitmaps += 1
        return 'bitmap%d' % dev.bitmaps

    @answer
    def DeleteObject(c):
        h = c.arg(0)
        if h >= STOCK_BASE:
            return 1
        for hdc, (kind, d) in dev.handles.live.items():
            if kind == 'dc' and h in d.selected.values():
                raise Fault('DeleteObject of 0x%x while it is selected in a DC' % h)
        kind, record = dev.handles.get(h, 'gdi')
        if kind == OBJ_BITMAP and record[3]:
            dev.heap.free(record[3])
        dev.handles.close(h, 'gdi')
        return 1

    @answer
    def SelectObject(c):
        hdc, h = a(c, 2)
        d = dev.dc(hdc)
        kind = gdi_kind(h)
        old = d.selected[kind]
        d.selected[kind] = h
        if kind == OBJ_BITMAP:
            d.name = 'memory' if h >= STOCK_BASE else dev.handles.get(h, 'gdi')[1][4]
        return old

    @answer
    def GetCurrentObject(c):
        return dev.dc(c.arg(0)).selected[c.arg(1)]

    @answer
    def GetObjectW(c):
        h, size, buf = a(c, 3)
        if h == STOCK_BASE + SYSTEM_FONT:
            data = dev.answer('GetObjectW', 'SYSTEM_FONT')
            c.uc.mem_write(buf, bytes.fromhex(data)[:size])
            return min(size, 92)
        kind, record = dev.handles.get(h, 'gdi')
        if kind == OBJ_FONT:
            c.uc.mem_write(buf, record[1][:size])
            return min(size, 92)
        w, hgt, bpp, bits, _ = record
        put(c, buf, '<iiiHHI', 0, w, abs(hgt), w * bpp // 8, 1, bpp, bits)
        return 24

    def font_of(hdc):
        h = dev.dc(hdc).selected[OBJ_FONT]
        return 'SYSTEM_FONT' if h >= STOCK_BASE else dev.handles.get(h, 'gdi')[1][0]

    @answer
    def GetTextMetricsW(c):
        values = dev.answer('GetTextMetricsW', font_of(c.arg(0)))
        c.uc.mem_write(c.arg(1), bytes.fromhex(values))
        return 1

    @answer
    def GetCharWidth32(c):
        hdc, first, last, buf = a(c, 4)
        widths = dev.answer('GetCharWidth32', font_of(hdc), first, last)
        put(c, buf, '<%di' % len(widths), *widths)
        return 1

    @answer
    def GetTextExtentExPointW(c):
        hdc, text, count, limit, fit, dx, size = a(c, 7)
        s = c.wstring(text, count)
        got = dev.answer('GetTextExtentExPointW', font_of(hdc), signed(limit) if fit else '-',
                         s.encode('utf-16-le').hex())
        if fit:
            c.write32(fit, got[0])
        if dx:
            put(c, dx, '<%di' % len(got[3]), *got[3])
        put(c, size, '<2i', got[1], got[2])
        return 1

    def dc_state(name):
        def setter(c):
            d = dev.dc(c.arg(0))
            old = getattr(d, name, 0)
            setattr(d, name, c.arg(1))
            return old
        return setter
    out['SetTextColor'] = dc_state('text_color')
    out['SetBkMode'] = dc_state('bk_mode')
    out['SetTextAlign'] = dc_state('align')

    @answer
    def ExtTextOutW(c):
        hdc, x, y, options, r, text, count, dx = a(c, 8)
        d = dev.dc(hdc)
        box = rect(c, r) if r else ()
        words = (signed(x), signed(y), options, *box, font_of(hdc), '%06x' % d.text_color, d.align, d.bk_mode,
                 c.wstring(text, count).encode('utf-16-le').hex())
        dev.effect('ExtTextOutW', d.name, *words)
        put_ink(d, words)
        return 1

    def put_ink(d, words):
        """The pixels the desktop's text changed in its DIB section, put
        into the handheld's: a box of the text's colour. A text the desktop
        did not draw has none, and its effect line tells the difference."""
        h = d.selected[OBJ_BITMAP]
        w, height, bpp, bits, _ = dev.handles.get(h, 'gdi')[1] if h < STOCK_BASE else (0, 0, 0, 0, '')
        if bpp != 32 or not bits:
            return
        box = dev.recorded.get(' '.join(str(word) for word in ('Ink', w, abs(height)) + words))
        if box:
            left, top, right, bottom = box
            colour = d.text_color
            pixel = struct.pack('<I', (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF))
            for row in range(top, bottom):
                cpu.uc.mem_write(bits + 4 * (row * w + left), pixel * (right - left))

    @answer
    def AlphaBlend(c):
        dst, x, y, w, h, src, sx, sy, sw, sh, blend = a(c, 11)
        dev.effect('AlphaBlend', dev.dc(dst).name, *map(signed, (x, y, w, h)), dev.dc(src).name,
                   *map(signed, (sx, sy, sw, sh)), '%08x' % blend)
        return 1

    @answer
    def BitBlt(c):
        dst, x, y, w, h, src, sx, sy, rop = a(c, 9)
        dev.effect('BitBlt', dev.dc(dst).name, *map(signed, (x, y, w, h)), dev.dc(src).name if src else '-',
                   signed(sx), signed(sy), '%08x' % rop)
        return 1

    @answer
    def FillRect(c):
        hdc, r, brush = a(c, 3)
        dev.effect('FillRect', dev.dc(hdc).name, *rect(c, r), colour_of(brush))
        return 1

    def colour_of(h):
        """A brush's or pen's colour, as the recorder writes it."""
        if h >= STOCK_BASE:
            return STOCK_COLOURS.get(h - STOCK_BASE, 'stock%d' % (h - STOCK_BASE))
        entry = dev.handles.get(h, 'gdi')
        if entry is None or entry[0] not in (OBJ_BRUSH, OBJ_PEN):
            raise Fault('0x%x is no brush or pen' % h)
        return '%06x' % entry[1]

    def shape_colours(hdc):
        d = dev.dc(hdc)
        return colour_of(d.selected[OBJ_BRUSH]), colour_of(d.selected[OBJ_PEN])

    @answer
    def RoundRect(c):
        hdc, *box = a(c, 7)
        dev.effect('RoundRect', dev.dc(hdc).name, *map(signed, box), *shape_colours(hdc))
        return 1

    @answer
    def Polygon(c):
        hdc, points, count = a(c, 3)
        xy = struct.unpack('<%di' % (2 * count), c.uc.mem_read(points, 8 * count))
        dev.effect('Polygon', dev.dc(hdc).name, *xy, *shape_colours(hdc))
        return 1
    return out
