"""A 32-bit ARM handheld in miniature: the item's ARM DLL mapped at a base of
the device's choosing, its imports bound to answers written here, its code run
on the unicorn CPU emulator.

A system call is a four-byte slot holding `mov pc, lr`; a code hook on the
slots answers it in Python before the return runs. An answer that must run
the DLL's own code (a window procedure, an enumeration callback) is a
generator: each `yield (address, args)` calls that code, and the value sent
back is its r0. The callee returns to a trap slot that resumes the
generator, so the CPU is never started from inside one of its own hooks."""
import os
import struct
import subprocess
from unicorn import (Uc, UcError, UC_ARCH_ARM, UC_MODE_ARM, UC_HOOK_BLOCK, UC_HOOK_CODE, UC_HOOK_MEM_READ,
                     UC_HOOK_MEM_WRITE)
from unicorn.arm_const import (UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3,
                               UC_ARM_REG_SP, UC_ARM_REG_LR, UC_ARM_REG_PC)

ARGS = (UC_ARM_REG_R0, UC_ARM_REG_R1, UC_ARM_REG_R2, UC_ARM_REG_R3)
RETURN = 0xE1A0F00E          # mov pc, lr
STUBS, STACK, HEAP = 0x20000000, 0x30000000, 0x40000000
STACK_SIZE, HEAP_SIZE = 0x100000, 0x1000000
DONE_TRAP, RESUME_TRAP = STUBS, STUBS + 4    # the host's return; a callback's return
MACHINE_ARM = 0x01C0
RELOC_HIGHLOW, RELOC_ABSOLUTE = 3, 0
# What an answer returns when it has loaded another context into the CPU.
SWITCHED = object()


class Fault(Exception):
    """The DLL did something a handheld would not forgive. `block` is the
    code block of an unaligned access, for a second run to name its
    instruction."""

    def __init__(self, message, block=None):
        super().__init__(message)
        self.block = block


class CallFails(Exception):
    """An answer the model cannot give: the call fails, giving `value`."""

    def __init__(self, value):
        super().__init__(value)
        self.value = value


class Image:
    """The PE file's headers, as far as mapping it needs them."""

    def __init__(self, data):
        pe = struct.unpack_from('<I', data, 0x3C)[0]
        if data[pe:pe + 4] != b'PE\0\0':
            raise Fault('not a PE file')
        self.machine, sections, _, _, _, optsize, _ = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        self.entry = struct.unpack_from('<I', data, opt + 16)[0]
        self.preferred, _, _ = struct.unpack_from('<III', data, opt + 28)
        self.size = struct.unpack_from('<I', data, opt + 56)[0]
        self.headers = struct.unpack_from('<I', data, opt + 60)[0]
        dirs = opt + 96
        self.directory = [struct.unpack_from('<II', data, dirs + 8 * i) for i in range(16)]
        self.sections = []
        for i in range(sections):
            s = opt + optsize + 40 * i
            vsize, rva, rawsize, raw = struct.unpack_from('<IIII', data, s + 8)
            self.sections.append((rva, data[raw:raw + min(rawsize, vsize or rawsize)]))
        self.data = data


class Cpu:
    """The unicorn CPU with the device's memory map, the DLL's image, and
    calls into the DLL's code from the host's side."""

    def __init__(self, path, base, symbols, watch=None):
        self.image = Image(open(path, 'rb').read())
        if self.image.machine != MACHINE_ARM:
            raise Fault('machine 0x%04x is not ARM' % self.image.machine)
        self.base, self.symbols, self.path = base, symbols, path
        self.uc = Uc(UC_ARCH_ARM, UC_MODE_ARM)
        self.uc.mem_map(base, (self.image.size + 0xFFFF) & ~0xFFFF)
        self.uc.mem_map(STUBS, 0x10000)
        self.uc.mem_map(STACK, STACK_SIZE)
        self.uc.mem_map(HEAP, HEAP_SIZE)
        self.uc.mem_write(base, self.image.data[:self.image.headers])
        for rva, raw in self.image.sections:
            self.uc.mem_write(base + rva, raw)
        self.relocate()
        self.answers = {}        # slot address -> (name, answer)
        self.traps = {}          # other stub addresses -> what runs there
        self.budget = None       # instructions a run may take, when bounded
        self.failing = None      # (cpu, name, call's return) -> the value a failing call gives, or None
        self.pending = []        # generators waiting for a callback's return, innermost last
        self.instructions = 0
        self.fault = None
        self.block = self.exact = None
        # The memory hook sees only the start of the running block: a block
        # with a fault found before is stepped one instruction at a time.
        if watch:
            self.uc.hook_add(UC_HOOK_CODE, self.on_step, begin=watch[0], end=watch[1])
        self.uc.hook_add(UC_HOOK_CODE, self.on_slot, begin=STUBS, end=STUBS + 0xFFFF)
        self.uc.hook_add(UC_HOOK_BLOCK, self.on_block, begin=base, end=base + self.image.size)
        # Every region the DLL can reach: its image, the stubs, the stack and
        # the heap, where everything the system hands it lives.
        self.uc.hook_add(UC_HOOK_MEM_READ | UC_HOOK_MEM_WRITE, self.on_access,
                         begin=min(base, STUBS), end=max(base + self.image.size, HEAP + HEAP_SIZE) - 1)

    # ---- mapping -------------------------------------------------------
    def relocate(self):
        rva, size = self.image.directory[5]
        delta = (self.base - self.image.preferred) & 0xFFFFFFFF
        block = self.base + rva
        while block < self.base + rva + size:
            page, length = struct.unpack('<II', self.uc.mem_read(block, 8))
            for i in range((length - 8) // 2):
                entry = struct.unpack('<H', self.uc.mem_read(block + 8 + 2 * i, 2))[0]
                kind, offset = entry >> 12, entry & 0xFFF
                if kind == RELOC_HIGHLOW:
                    at = self.base + page + offset
                    self.write32(at, (self.read32(at) + delta) & 0xFFFFFFFF)
                elif kind != RELOC_ABSOLUTE:
                    raise Fault('relocation type %d at 0x%x is not one the loader applies' % (kind, page + offset))
            block += length

    def imports(self):
        """(dll, name, table address) for every import, in table order."""
        rva = self.image.directory[1][0]
        out = []
        while True:
            lookup, _, _, name, table = struct.unpack('<IIIII', self.uc.mem_read(self.base + rva, 20))
            if name == 0:
                return out
            dll = self.cstring(self.base + name).upper()
            i = 0
            while True:
                entry = self.read32(self.base + (lookup or table) + 4 * i)
                if entry == 0:
                    break
                if entry & 0x80000000:
                    raise Fault('%s imports ordinal %d: the model binds names only' % (dll, entry & 0xFFFF))
                out.append((dll, self.cstring(self.base + entry + 2), self.base + table + 4 * i))
                i += 1
            rva += 20

    def bind(self, answers):
        """Points every import at its answer; refuses when one has none."""
        found = self.imports()
        missing = sorted({name for _, name, _ in found if name not in answers})
        if missing:
            raise Fault('imports with no answer in the model: ' + ', '.join(missing))
        slots = {}
        for _, name, at in found:
            if name not in slots:
                slots[name] = STUBS + 16 + 4 * len(slots)
                self.write32(slots[name], RETURN)
                self.answers[slots[name]] = (name, answers[name])
            self.write32(at, slots[name])
        self.write32(DONE_TRAP, RETURN)
        self.write32(RESUME_TRAP, RETURN)
        return len(found)

    def export(self, ordinal):
        rva = self.image.directory[0][0]
        ordinal_base, functions, _, table = struct.unpack('<IIII', self.uc.mem_read(self.base + rva + 16, 16))
        if not 0 <= ordinal - ordinal_base < functions:
            raise Fault('no export %d' % ordinal)
        return self.base + self.read32(self.base + table + 4 * (ordinal - ordinal_base))

    # ---- memory --------------------------------------------------------
    def read32(self, at):
        return struct.unpack('<I', self.uc.mem_read(at, 4))[0]

    def write32(self, at, value):
        self.uc.mem_write(at, struct.pack('<I', value & 0xFFFFFFFF))

    def cstring(self, at):
        out = bytearray()
        while True:
            b = self.uc.mem_read(at + len(out), 64)
            end = b.find(b'\0')
            if end >= 0:
                return (out + b[:end]).decode('latin-1')
            out += b

    def wstring(self, at, count=-1):
        if not at:
            return None
        if count >= 0:
            return self.uc.mem_read(at, 2 * count).decode('utf-16-le', 'surrogatepass')
        out = bytearray()
        while True:
            b = bytes(self.uc.mem_read(at + len(out), 64))
            for i in range(0, 64, 2):
                if b[i:i + 2] == b'\0\0':
                    return (out + b[:i]).decode('utf-16-le', 'surrogatepass')
            out += b

    def put_wstring(self, at, text):
        self.uc.mem_write(at, text.encode('utf-16-le') + b'\0\0')

    def arg(self, i):
        if i < 4:
            return self.uc.reg_read(ARGS[i])
        return self.read32(self.uc.reg_read(UC_ARM_REG_SP) + 4 * (i - 4))

    # ---- running -------------------------------------------------------
    def call(self, address, *args):
        """Runs the DLL's function at `address` from the host and returns r0."""
        return self.run(address, args, STACK + STACK_SIZE - 0x100, DONE_TRAP)

    def run(self, address, args, sp, lr, regs=None):
        """Runs the DLL's code from `address` until it comes back to the
        host; `regs` are set first, then the stack, arguments and return
        where given."""
        for reg, value in (regs or {}).items():
            self.uc.reg_write(reg, value)
        if sp is not None:
            self.uc.reg_write(UC_ARM_REG_SP, sp)
        for reg, value in zip(ARGS, args):
            self.uc.reg_write(reg, value & 0xFFFFFFFF)
        if lr is not None:
            self.uc.reg_write(UC_ARM_REG_LR, lr)
        try:
            self.uc.emu_start(address, DONE_TRAP)
        except UcError as e:
            raise Fault('%s at %s' % (e, self.where(self.uc.reg_read(UC_ARM_REG_PC))))
        if self.fault:
            fault, self.fault = self.fault, None
            raise Fault(*fault)
        return self.uc.reg_read(UC_ARM_REG_R0)

    def on_slot(self, uc, address, size, _):
        if address == DONE_TRAP:
            return
        if address == RESUME_TRAP:
            self.resume(uc.reg_read(UC_ARM_REG_R0))
            return
        if address in self.traps:
            return self.trap(self.traps[address])
        name, answer = self.answers[address]
        failed = self.failing(self, name, uc.reg_read(UC_ARM_REG_LR)) if self.failing else None
        if failed is not None:
            uc.reg_write(UC_ARM_REG_R0, failed & 0xFFFFFFFF)
            return
        try:
            result = answer(self)
        except CallFails as e:
            result = e.value
        except Fault as e:
            return self.stop('%s: %s' % (name, e))
        if result is SWITCHED:
            return
        if hasattr(result, 'send'):
            self.pending.append((result, uc.reg_read(UC_ARM_REG_LR), uc.reg_read(UC_ARM_REG_SP)))
            return self.resume(None)
        uc.reg_write(UC_ARM_REG_R0, (result or 0) & 0xFFFFFFFF)

    def trap(self, what):
        try:
            what()
        except Fault as e:
            self.stop(str(e))

    def resume(self, value):
        """Steps the innermost waiting answer: on to its next callback, or
        back to the DLL's caller with its result."""
        generator, caller, sp = self.pending[-1]
        try:
            address, args = generator.send(value)
        except (StopIteration, CallFails) as done:
            self.pending.pop()
            self.uc.reg_write(UC_ARM_REG_R0, (done.value or 0) & 0xFFFFFFFF)
            self.uc.reg_write(UC_ARM_REG_SP, sp)
            self.uc.reg_write(UC_ARM_REG_PC, caller)
            return
        except Fault as e:
            return self.stop(str(e))
        for reg, v in zip(ARGS, args):
            self.uc.reg_write(reg, v & 0xFFFFFFFF)
        self.uc.reg_write(UC_ARM_REG_SP, sp - 64)
        self.uc.reg_write(UC_ARM_REG_LR, RESUME_TRAP)
        self.uc.reg_write(UC_ARM_REG_PC, address)

    def on_block(self, uc, address, size, _):
        # ARM instructions are four bytes; a block runs whole unless a
        # fault stops it, which ends the run anyway.
        self.instructions += size // 4
        self.block = (address, address + size - 1)
        if self.budget is not None and self.instructions > self.budget and not self.fault:
            self.stop('still running after %d instructions, in %s' % (self.budget, self.where(address)))

    def on_step(self, uc, address, size, _):
        self.exact = address

    def stop(self, message, block=None):
        self.fault = (message, block)
        self.uc.emu_stop()

    def on_access(self, uc, access, address, size, value, _):
        if size > 1 and address % size and not self.fault:
            exact = self.exact is not None and self.block[0] <= self.exact <= self.block[1]
            pc = self.exact if exact else uc.reg_read(UC_ARM_REG_PC)
            self.stop('unaligned %d-byte %s at 0x%08x by %s%s' % (
                size, 'write' if access == UC_HOOK_MEM_WRITE else 'read', address, self.where(pc),
                '' if exact else ' (the start of its block)'), None if exact else self.block)

    def where(self, pc):
        """The function and instruction at `pc`, from the toolchain's tools."""
        if not self.base <= pc < self.base + self.image.size:
            return '0x%08x' % pc
        rva = pc - self.base
        before = [(at, name) for at, name in self.symbols if at <= rva]
        files = [i for i, (_, name) in enumerate(before) if name.endswith(('.obj', '.o'))]
        start, function = before[-1] if before and (not files or files[-1] < len(before) - 1) else (rva, '?')
        name = '%s+0x%x in %s' % (function, rva - start, before[files[-1]][1] if files else '?')
        return '%s (0x%08x: %s)' % (name, pc, self.disassemble(rva))

    def disassemble(self, rva):
        va = self.image.preferred + rva
        out = subprocess.run([self.symbols.objdump, '-d', '--start-address=0x%x' % va,
                              '--stop-address=0x%x' % (va + 4), self.path],
                             capture_output=True, text=True).stdout
        lines = [l for l in out.splitlines() if l.strip().startswith('%x:' % va)]
        return lines[0].split('\t', 2)[-1].strip() if lines else '?'


class Symbols(list):
    """(rva, name) of the DLL's code, sorted, from the linker's map: each
    object file's code where it starts, each global function of it where
    that starts, demangled by the toolchain's c++filt."""

    def __init__(self, tools, map_path, preferred):
        super().__init__()
        self.objdump = tools + 'objdump'
        text = False
        for line in open(map_path, encoding='latin-1'):
            words = line.split()
            if line.startswith(' .text') and len(words) == 4:
                text = True
                self.append((int(words[1], 16) - preferred, os.path.basename(words[3]).split('(')[-1].rstrip(')')))
            elif line.startswith(' .') or not line.startswith(' '):
                text = False
            elif text and len(words) == 2 and words[0].startswith('0x'):
                self.append((int(words[0], 16) - preferred, words[1]))
        names = subprocess.run([tools + 'c++filt'], input='\n'.join(n for _, n in self), capture_output=True,
                               text=True).stdout.splitlines()
        self[:] = sorted((rva, name) for (rva, _), name in zip(self, names))
