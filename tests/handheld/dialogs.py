"""The handheld's dialog manager and property sheet, as far as the options
reach them: dialogs made from the DLL's plain templates (child windows of
the template's classes, texts and ids, placed in the page's dialog units
as the desktop measured them), the control messages the pages send, and a
property sheet that opens its start page, plays the scripted clicks and
closes with OK."""
import struct
from arm import Fault
from device import OBJ_FONT, WM_DESTROY, Window, signed

WM_NCDESTROY, WM_INITDIALOG, WM_COMMAND, WM_NOTIFY = 0x0082, 0x0110, 0x0111, 0x004E
WM_SETFONT, WM_GETFONT, WM_WINDOWPOSCHANGED = 0x0030, 0x0031, 0x0047
DS_SETFONT, WS_TABSTOP, BS_TYPEMASK, BS_AUTOCHECKBOX = 0x40, 0x00010000, 0x0F, 3
BS_PUSHBUTTON, BS_AUTORADIOBUTTON, WS_GROUP, WS_DISABLED = 0, 9, 0x00020000, 0x08000000
WM_HSCROLL, TB_THUMBPOSITION = 0x0114, 4
EN_CHANGE, CBN_SELCHANGE, CBN_CLOSEUP = 0x0300, 1, 8
PSH_PROPSHEETPAGE, PSH_USECALLBACK, PSP_DLGINDIRECT, PSP_USECALLBACK = 0x8, 0x100, 0x1, 0x80
PSCB_INITIALIZED, PSCB_GETVERSION, PSPCB_RELEASE, PSPCB_CREATE = 1, 3, 1, 2
PSN_SETACTIVE, PSN_KILLACTIVE, PSN_APPLY = -200, -201, -202
RT_DIALOG = 5
CLASSES = {0x80: 'Button', 0x81: 'Edit', 0x82: 'Static', 0x83: 'ListBox', 0x84: 'ScrollBar', 0x85: 'ComboBox'}
UDS_AUTOBUDDY = 0x10


def low(v):
    """The low word of a message's parameter, as a signed 16-bit number."""
    return signed((v << 16) & 0xFFFFFFFF) >> 16


def high(v):
    return signed(v & 0xFFFF0000) >> 16


def muldiv(a, b, c):
    """MulDiv: rounded half away from zero."""
    q, r = divmod(abs(a * b), c)
    q += 2 * r >= c
    return q if (a * b >= 0) == (c > 0) else -q


class Control:
    """What a child window of the dialog manager holds: its class, id and
    text, and the state the pages' control messages set and read."""

    def __init__(self, cls, ident, text):
        self.cls, self.ident, self.text = cls, ident, text
        self.check = self.position = self.font = 0
        self.cursel, self.items, self.limit, self.buddy = -1, [], 30000, 0
        self.range = (0, 100)     # an up-down's or a track bar's (first, last)


class Template:
    """A plain dialog template: its style, size and items."""

    def __init__(self, cpu, at):
        self.cpu = cpu
        self.style, _, count, *self.box = struct.unpack('<IIH4h', cpu.uc.mem_read(at, 18))
        at += 18
        _, at = self.name(at)     # menu
        _, at = self.name(at)     # class
        self.title, at = self.name(at)
        if self.style & DS_SETFONT:
            _, at = self.name(at + 2)
        self.items = []
        for _ in range(count):
            at = (at + 3) & ~3
            style, _, x, y, w, h, ident = struct.unpack('<II4hH', cpu.uc.mem_read(at, 18))
            cls, at = self.name(at + 18)
            text, at = self.name(at)
            extra = struct.unpack('<H', cpu.uc.mem_read(at, 2))[0]
            at += 2 + extra
            self.items.append((CLASSES.get(cls, cls), style, (x, y, w, h), signed(ident << 16) >> 16, text))

    def name(self, at):
        """A name or an ordinal, and where the next field starts."""
        first = struct.unpack('<H', self.cpu.uc.mem_read(at, 2))[0]
        if first == 0xFFFF:
            return struct.unpack('<H', self.cpu.uc.mem_read(at + 2, 2))[0], at + 4
        text = self.cpu.wstring(at)
        return text, at + 2 * len(text) + 2


class Dialogs:
    """The dialog manager and the property sheet of the device `dev`."""

    def __init__(self, dev):
        self.dev, self.cpu = dev, dev.cpu

    # ---- dialogs -----------------------------------------------------------
    def pixels(self, box):
        across, down = self.dev.answer('MapDialogRect')
        x, y, w, h = box
        return muldiv(x, across, 4), muldiv(y, down, 8), muldiv(w, across, 4), muldiv(h, down, 8)

    def add_window(self, parent, win):
        hwnd = self.dev.handles.new('window', win)
        self.dev.window(parent).children.append(hwnd)
        return hwnd

    def create(self, template, proc, parent, param):
        """A generator: makes the dialog and its controls, then sends
        WM_INITDIALOG; returns the dialog's window."""
        t = Template(self.cpu, template)
        dialog = Window(None, parent, self.pixels(t.box), t.style)
        dialog.dialog, dialog.control = proc, Control('Dialog', 0, t.title)
        dialog.control.font = self.dev.handles.new('gdi', (OBJ_FONT, ('dialog', bytes(92))))
        hwnd = self.add_window(parent, dialog)
        for cls, style, box, ident, text in t.items:
            child = Window(None, hwnd, self.pixels(box), style)
            child.control = Control(cls, ident, text if isinstance(text, str) else '')
            child.control.font = dialog.control.font
            if str(cls).lower() == 'msctls_updown32' and style & UDS_AUTOBUDDY and dialog.children:
                child.control.buddy = dialog.children[-1]
            self.add_window(hwnd, child)
        focus = [h for h in dialog.children if self.dev.window(h).style & WS_TABSTOP][:1] or [0]
        yield from self.dev.send(hwnd, WM_INITDIALOG, focus[0], param)
        return hwnd

    def destroy(self, hwnd):
        """A generator: WM_DESTROY to the window, then its children go, then
        WM_NCDESTROY; a dialog's font goes with it."""
        win = self.dev.window(hwnd)
        yield from self.dev.send(hwnd, WM_DESTROY, 0, 0)
        for child in list(win.children):
            yield from self.destroy(child)
        yield from self.dev.send(hwnd, WM_NCDESTROY, 0, 0)
        if win.dialog is not None:
            self.dev.handles.close(win.control.font, 'gdi')
        if win.parent in self.dev.handles.live:
            self.dev.window(win.parent).children.remove(hwnd)
        self.dev.handles.close(hwnd, 'window')

    def item(self, dialog, ident):
        for h in self.dev.window(dialog).children:
            if self.dev.window(h).control.ident == signed(ident << 16) >> 16:
                return h
        return 0

    def click(self, page, ident):
        """A generator: the user's tap on a check box or a radio button of
        the page."""
        hwnd = self.item(page, ident)
        win = self.dev.window(hwnd)
        kind = win.style & BS_TYPEMASK
        if win.control.cls != 'Button' or kind not in (BS_PUSHBUTTON, BS_AUTOCHECKBOX, BS_AUTORADIOBUTTON):
            raise Fault('a click on control %d is not played by this model yet' % ident)
        if kind == BS_PUSHBUTTON:
            pass
        elif kind == BS_AUTORADIOBUTTON:
            for other in self.radio_group(page, hwnd):
                self.dev.window(other).control.check = 0
            win.control.check = 1
        else:
            win.control.check ^= 1
        yield from self.dev.send(page, WM_COMMAND, ident, hwnd)

    def radio_group(self, page, hwnd):
        """The automatic radio buttons of the group that holds `hwnd`."""
        children = self.dev.window(page).children
        group = []
        for h in children:
            win = self.dev.window(h)
            if win.style & WS_GROUP or win.control.cls != 'Button':
                if hwnd in group:
                    break
                group = []
            if win.control.cls == 'Button' and win.style & BS_TYPEMASK == BS_AUTORADIOBUTTON:
                group.append(h)
        return group

    def act(self, page, ident, action):
        """A generator: the user's act on control `ident`: a tap (no
        action), an arrow of an edit's up-down ('+' or '-'), or entry or
        position N of a combo box or track bar ('=N'). A disabled control
        takes none."""
        hwnd = self.item(page, ident)
        if self.dev.window(hwnd).style & WS_DISABLED:
            return      # a disabled control takes no tap
        if not action:
            return (yield from self.click(page, ident))
        c = self.dev.window(hwnd).control
        if action in '+-':
            return (yield from self.arrow(page, hwnd, 1 if action == '+' else -1))
        if c.cls == 'ComboBox':
            self.select(c, int(action[1:]))
            yield from self.dev.send(page, WM_COMMAND, CBN_SELCHANGE << 16 | ident, hwnd)
            return (yield from self.dev.send(page, WM_COMMAND, CBN_CLOSEUP << 16 | ident, hwnd))
        if c.cls.lower() == 'msctls_trackbar32':
            self.move_bar(c, int(action[1:]))
            return (yield from self.dev.send(page, WM_HSCROLL, c.position << 16 | TB_THUMBPOSITION, hwnd))
        raise Fault('"%s" on control %d is not played by this model yet' % (action, ident))

    def arrow(self, page, edit, direction):
        """A generator: an arrow key in an up-down's buddy edit moves the
        up-down one step toward the end of its range, which the buddy then
        shows; the edit tells the page of its change."""
        updowns = [h for h in self.dev.window(page).children if self.dev.window(h).control.buddy == edit]
        if not updowns:
            raise Fault('control %d has no up-down' % self.dev.window(edit).control.ident)
        c = self.dev.window(updowns[0]).control
        first, last = c.range
        step = direction if last >= first else -direction
        position = min(max(c.position + step, min(first, last)), max(first, last))
        if position == c.position:
            return
        self.set_position(c, position)
        ident = self.dev.window(edit).control.ident
        yield from self.dev.send(page, WM_COMMAND, EN_CHANGE << 16 | ident, edit)

    # ---- the control messages the pages send --------------------------------
    def message(self, win, msg, wp, lp):
        c, cpu = win.control, self.cpu
        if msg in (WM_INITDIALOG, WM_NOTIFY, WM_COMMAND, WM_DESTROY, WM_NCDESTROY, WM_WINDOWPOSCHANGED, WM_HSCROLL):
            return 0
        if msg == WM_SETFONT:
            c.font = wp
            return 0
        if msg == WM_GETFONT:
            return c.font
        answer = {
            0x00F0: lambda: c.check,                                   # BM_GETCHECK
            0x00F1: lambda: setattr(c, 'check', wp),                   # BM_SETCHECK
            0x0143: lambda: c.items.append(cpu.wstring(lp)) or len(c.items) - 1,   # CB_ADDSTRING
            0x0147: lambda: c.cursel,                                  # CB_GETCURSEL
            0x0146: lambda: len(c.items),                              # CB_GETCOUNT
            0x0144: lambda: (c.items.pop(wp), len(c.items))[1],        # CB_DELETESTRING
            0x0149: lambda: len(c.items[wp]) if wp < len(c.items) else -1,   # CB_GETLBTEXTLEN
            0x0148: lambda: self.list_text(c, wp, lp),                 # CB_GETLBTEXT
            0x014E: lambda: self.select(c, wp),                        # CB_SETCURSEL
            0x00C5: lambda: setattr(c, 'limit', wp or 30000),          # EM_LIMITTEXT
            0x00D5: lambda: c.limit,                                   # EM_GETLIMITTEXT
            0x00D4: lambda: self.dev.answer('EM_GETMARGINS', c.ident),  # EM_GETMARGINS
            0x00D3: lambda: 0,                                         # EM_SETMARGINS
            0x00B2: lambda: self.format_rect(c, lp),                   # EM_GETRECT
            0x2007: lambda: 0,                                         # CCM_SETVERSION
            0x0465: lambda: self.set_range(c, high(lp), low(lp)),     # UDM_SETRANGE
            0x0406: lambda: self.set_range(c, low(lp), high(lp)),     # TBM_SETRANGE
            0x0405: lambda: self.move_bar(c, signed(lp)),              # TBM_SETPOS
            0x0400: lambda: c.position,                                # TBM_GETPOS
            0x000C: lambda: setattr(c, 'text', cpu.wstring(lp)) or 1,  # WM_SETTEXT
            0x0467: lambda: self.set_position(c, signed(lp << 16) >> 16),   # UDM_SETPOS
            0x0468: lambda: c.position,                                # UDM_GETPOS
        }.get(msg)
        if answer is None:
            raise Fault('message 0x%04x to a %s is not played by this model yet' % (msg, c.cls))
        return answer() or 0

    def list_text(self, c, index, at):
        if index >= len(c.items):
            return -1
        self.cpu.put_wstring(at, c.items[index])
        return len(c.items[index])

    def move_bar(self, c, position):
        """A track bar's thumb, kept within its range (0 to 100 unless set)."""
        c.position = min(max(position, min(c.range)), max(c.range))

    def set_range(self, c, first, last):
        c.range = (first, last)

    def select(self, c, index):
        c.cursel = index if index < len(c.items) else -1
        return c.cursel

    def format_rect(self, c, at):
        margins = self.dev.answer('EM_GETMARGINS', c.ident)
        self.cpu.uc.mem_write(at, struct.pack('<4i', *self.dev.answer('EM_GETRECT', c.ident, margins)))

    def set_position(self, c, position):
        # The buddy shows the number (UDS_SETBUDDYINT).
        c.position = position
        if c.buddy:
            self.dev.window(c.buddy).control.text = str(position)

    # ---- the property sheet ----------------------------------------------------
    def property_sheet(self, header):
        """A generator: PropertySheetW as the options open it (pages given
        by their records, a callback for the sheet and for each page)."""
        cpu, dev = self.cpu, self.dev
        _, flags, parent, _, _, _, count, start, pages, callback = struct.unpack('<10I', cpu.uc.mem_read(header, 40))
        if not flags & PSH_PROPSHEETPAGE:
            raise Fault('a sheet of page handles is not played by this model yet')
        records = [pages + i * cpu.read32(pages) for i in range(count)]
        sheet = self.add_window(parent, Window(None, parent, dev.window(dev.host).rect, 0))
        if flags & PSH_USECALLBACK:
            yield (callback, (0, PSCB_GETVERSION, 0))
            yield (callback, (sheet, PSCB_INITIALIZED, 0))
        opened = {}
        current = start
        yield from self.open_page(sheet, records[start], start, opened)
        for index, ident, action in dev.clicks:
            if index != current:
                yield from self.notify(sheet, opened[current], PSN_KILLACTIVE, 0)
                yield from self.open_page(sheet, records[index], index, opened)
                current = index
            if ident:
                yield from self.act(opened[index], ident, action)
        # OK: the page shown lets go, every opened page applies, the sheet
        # goes with its pages, then each page's record is released.
        yield from self.notify(sheet, opened[current], PSN_KILLACTIVE, 0)
        for index in sorted(opened):
            yield from self.notify(sheet, opened[index], PSN_APPLY, 1)
        yield from self.destroy(sheet)
        for record in records:
            page_flags, page_callback = cpu.read32(record + 4), cpu.read32(record + 32)
            if page_flags & PSP_USECALLBACK:
                yield (page_callback, (0, PSPCB_RELEASE, record))
        return 1

    def open_page(self, sheet, record, index, opened):
        """A generator: makes the page the first time it is shown, then
        tells it it is active."""
        if index not in opened:
            flags, instance, template = struct.unpack('<4x3I', self.cpu.uc.mem_read(record, 16))
            proc, callback = self.cpu.read32(record + 24), self.cpu.read32(record + 32)
            if flags & PSP_USECALLBACK and not (yield (callback, (0, PSPCB_CREATE, record))):
                raise Fault('page %d refused to be made' % index)
            at = template if flags & PSP_DLGINDIRECT else self.dev.resource(RT_DIALOG, template)[0]
            opened[index] = yield from self.create(at, proc, sheet, record)
        yield from self.notify(sheet, opened[index], PSN_SETACTIVE, 0)

    def notify(self, sheet, page, code, value):
        at = self.dev.heap.alloc(16)
        self.cpu.uc.mem_write(at, struct.pack('<IIiI', sheet, 0, code, value))
        yield from self.dev.send(page, WM_NOTIFY, 0, at)
        self.dev.heap.free(at)
