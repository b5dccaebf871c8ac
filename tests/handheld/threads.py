"""The handheld's threads, the objects they wait on, and its power manager,
as far as the suspend watcher reaches them.

A thread the DLL makes is a second context of the one CPU: its own stack,
its own saved registers, its own answers waiting for callbacks. Contexts
take turns only at waits: the running one saves its registers (the call's
return as its program counter) and the next one that can go on is loaded
in their place. The item's own thread runs when the host calls it; a
thread that can go on while the item's thread is idle is run from the
host's side (`run_ready`) until it waits again. Waits that can never end
fail the run rather than hang it."""
import struct
from unicorn.arm_const import (UC_ARM_REG_R0, UC_ARM_REG_R4, UC_ARM_REG_R5, UC_ARM_REG_R6, UC_ARM_REG_R7,
                               UC_ARM_REG_R8, UC_ARM_REG_R9, UC_ARM_REG_R10, UC_ARM_REG_R11, UC_ARM_REG_SP,
                               UC_ARM_REG_LR, UC_ARM_REG_PC)
from arm import DONE_TRAP, RETURN, STUBS, SWITCHED, Fault

THREAD_STACKS, THREAD_STACK_SIZE, MOST_THREADS = 0x30800000, 0x10000, 4
EXIT_TRAP = STUBS + 8       # where a thread's start routine returns to
# What a call keeps for its caller: r4-r11 and the stack.
KEPT = (UC_ARM_REG_R4, UC_ARM_REG_R5, UC_ARM_REG_R6, UC_ARM_REG_R7, UC_ARM_REG_R8, UC_ARM_REG_R9,
        UC_ARM_REG_R10, UC_ARM_REG_R11, UC_ARM_REG_SP)
WAIT_TIMEOUT, INFINITE = 258, 0xFFFFFFFF
EVENT_RESET, EVENT_SET = 2, 3
PBT_TRANSITION, PBT_RESUME = 0x1, 0x2
POWER_STATE_ON, POWER_STATE_SUSPEND = 0x00010000, 0x00200000
ERROR_INSUFFICIENT_BUFFER, ERROR_TIMEOUT = 122, 1460


class Event:
    def __init__(self, manual, signalled):
        self.manual, self.signalled = manual, signalled


class Queue:
    """A message queue: its depth, its largest message, what it holds."""

    def __init__(self, depth, largest):
        self.depth, self.largest, self.messages = depth, largest, []


class Context:
    """One thread of the CPU: where it goes on, and what it waits for."""

    def __init__(self, name, start=None, param=0, stack=0):
        self.name, self.start, self.param, self.stack = name, start, param, stack
        self.kept = None         # the registers a call keeps, and the return, while it waits
        self.wait = None         # (handles, ms) of its wait
        self.pending = []        # its answers waiting for callbacks
        self.ended = False


class Threads:
    def __init__(self, dev):
        self.dev, self.cpu = dev, dev.cpu
        self.cpu.uc.mem_map(THREAD_STACKS, THREAD_STACK_SIZE * MOST_THREADS)
        self.cpu.write32(EXIT_TRAP, RETURN)
        self.cpu.traps[EXIT_TRAP] = self.thread_returned
        self.main = self.current = Context('the item\'s thread')
        self.made = []                # contexts of the threads the DLL made
        self.registrations = {}       # power notification handle -> (queue handle, message classes)

    # ---- what a wait sees ---------------------------------------------------
    def signalled(self, h):
        kind, record = self.dev.handles.live.get(h, ('?', None))
        if kind == 'event':
            return record.signalled
        if kind == 'thread':
            return record.ended
        if kind == 'queue':
            return bool(record.messages)
        raise Fault('a wait on 0x%x, which is no waitable handle' % h)

    def first_signalled(self, handles):
        for i, h in enumerate(handles):
            if self.signalled(h):
                self.consume(h)
                return i
        return None

    def consume(self, h):
        kind, record = self.dev.handles.live[h]
        if kind == 'event' and not record.manual:
            record.signalled = False

    # ---- switching ----------------------------------------------------------
    def wait(self, handles, ms):
        """The answer to a wait of the running context: at once when an
        object is signalled or the wait does not wait; else the context
        waits and the next that can go on runs."""
        found = self.first_signalled(handles)
        if found is not None:
            return found
        if ms == 0:
            return WAIT_TIMEOUT
        self.current.wait = (handles, ms)
        self.current.kept = self.kept()
        return self.run_next()

    def kept(self):
        uc = self.cpu.uc
        return [uc.reg_read(r) for r in KEPT] + [uc.reg_read(UC_ARM_REG_LR)]

    def thread_returned(self):
        self.current.ended = True
        self.run_next()

    def run_next(self):
        """Leaves the running context for the next that can go on: a
        thread first, then the item's thread; with none, a waiting item's
        thread times out, and a thread run from the host gives the CPU
        back to it."""
        self.current.pending, self.cpu.pending = self.cpu.pending, []
        for ctx in self.made + [self.main]:
            result = self.can_go_on(ctx)
            if result is not None:
                return self.enter(ctx, result)
        if self.main.wait and self.main.wait[1] != INFINITE:
            return self.enter(self.main, WAIT_TIMEOUT)
        if self.main.wait is None:
            self.current = self.main
            self.cpu.uc.reg_write(UC_ARM_REG_PC, DONE_TRAP)
            return SWITCHED
        raise Fault('every thread waits for ever: ' + '; '.join(
            '%s on %s' % (c.name, ', '.join('0x%x' % h for h in c.wait[0])) for c in [self.main] + self.made
            if c.wait))

    def can_go_on(self, ctx):
        """The wait's result for a context that can go on, else None; a
        thread not yet started goes on with its parameter."""
        if ctx.ended or ctx is self.current and ctx.wait is None:
            return None
        if ctx.kept is None:
            return ctx.param if ctx is not self.main else None
        if ctx.wait is None:
            return None
        return self.first_signalled(ctx.wait[0])

    def enter(self, ctx, result):
        uc = self.cpu.uc
        self.current, self.cpu.pending = ctx, ctx.pending
        ctx.wait, ctx.pending = None, []
        if ctx.kept is None:
            uc.reg_write(UC_ARM_REG_SP, ctx.stack)
            uc.reg_write(UC_ARM_REG_LR, EXIT_TRAP)
            uc.reg_write(UC_ARM_REG_R0, result)
            uc.reg_write(UC_ARM_REG_PC, ctx.start)
            ctx.kept = ()
            return SWITCHED
        for reg, value in zip(KEPT, ctx.kept):
            uc.reg_write(reg, value)
        uc.reg_write(UC_ARM_REG_R0, result & 0xFFFFFFFF)
        uc.reg_write(UC_ARM_REG_PC, ctx.kept[-1])
        return SWITCHED

    def run_ready(self):
        """Runs, from the host's side, every thread that can go on while
        the item's thread is idle, until each waits again or has ended."""
        while True:
            for ctx in self.made:
                result = self.can_go_on(ctx)
                if result is not None:
                    break
            else:
                return
            self.current, self.cpu.pending = ctx, []
            ctx.wait = None
            if ctx.kept is None:
                ctx.kept = ()
                self.cpu.run(ctx.start, (result,), ctx.stack, EXIT_TRAP)
            else:
                self.cpu.run(ctx.kept[-1], (result,), None, None, dict(zip(KEPT, ctx.kept)))
            self.current = self.main

    def still_running(self):
        return [ctx.name for ctx in self.made if not ctx.ended]

    # ---- the power manager --------------------------------------------------
    def broadcast(self, message, flags, state):
        """Puts a POWER_BROADCAST on every queue registered for its class;
        a full queue misses it."""
        name = (state + '\0').encode('utf-16-le') if state else b''
        data = struct.pack('<3I', message, flags, len(name)) + name
        for queue_handle, classes in self.registrations.values():
            queue = self.dev.handles.get(queue_handle, 'queue')
            if classes & message and queue and len(queue.messages) < queue.depth and len(data) <= queue.largest:
                queue.messages.append(data)

    def suspend(self):
        self.broadcast(PBT_TRANSITION, POWER_STATE_SUSPEND, 'suspend')

    def resume(self):
        self.broadcast(PBT_RESUME, 0, '')
        self.broadcast(PBT_TRANSITION, POWER_STATE_ON, 'on')

    # ---- the answers ----------------------------------------------------------
    def answers(self):
        dev, out = self.dev, {}

        def answer(fn):
            out[fn.__name__] = fn
            return fn

        @answer
        def CreateThread(c):
            if len(self.made) == MOST_THREADS:
                raise Fault('more than %d threads' % MOST_THREADS)
            stack = THREAD_STACKS + THREAD_STACK_SIZE * (len(self.made) + 1) - 0x100
            ctx = Context('the thread at %s' % c.where(c.arg(2)).split(' ')[0], c.arg(2), c.arg(3), stack)
            self.made.append(ctx)
            return dev.handles.new('thread', ctx)

        @answer
        def CreateEventW(c):
            return dev.handles.new('event', Event(c.arg(1), c.arg(2)))

        @answer
        def EventModify(c):
            event = dev.handles.get(c.arg(0), 'event')
            if event is None:
                raise Fault('0x%x is no event' % c.arg(0))
            if c.arg(1) not in (EVENT_SET, EVENT_RESET):
                raise Fault('EventModify %d is not played by this model yet' % c.arg(1))
            event.signalled = c.arg(1) == EVENT_SET
            return 1

        def handles(at, count):
            return [c_read(at + 4 * i) for i in range(count)]
        c_read = self.cpu.read32

        out['WaitForSingleObject'] = lambda c: self.wait([c.arg(0)], c.arg(1))

        @answer
        def WaitForMultipleObjects(c):
            count, at, everything, ms = (c.arg(i) for i in range(4))
            if everything:
                raise Fault('a wait for all of its objects is not played by this model yet')
            return self.wait(handles(at, count), ms)

        @answer
        def MsgWaitForMultipleObjectsEx(c):
            # No other thread sends or posts to the item's thread in the
            # model: a wait that takes input wakes for its objects only.
            count, at, ms = (c.arg(i) for i in range(3))
            return self.wait(handles(at, count), ms)

        @answer
        def CreateMsgQueue(c):
            size, flags, depth, largest, read = struct.unpack('<5I', c.uc.mem_read(c.arg(1), 20))
            if not read:
                raise Fault('a queue for writing is not played by this model yet')
            return dev.handles.new('queue', Queue(depth, largest))

        @answer
        def CloseMsgQueue(c):
            dev.handles.close(c.arg(0), 'queue')
            return 1

        @answer
        def ReadMsgQueue(c):
            h, buf, size, read, ms, flags = (c.arg(i) for i in range(6))
            queue = dev.handles.get(h, 'queue')
            if queue is None:
                raise Fault('0x%x is no queue' % h)
            if ms:
                raise Fault('a read that waits is not played by this model yet')
            if not queue.messages:
                dev.last_error = ERROR_TIMEOUT
                return 0
            if len(queue.messages[0]) > size:
                dev.last_error = ERROR_INSUFFICIENT_BUFFER
                return 0
            data = queue.messages.pop(0)
            c.uc.mem_write(buf, data)
            c.write32(read, len(data))
            if flags:
                c.write32(flags, 0)
            return 1

        @answer
        def RequestPowerNotifications(c):
            if dev.handles.get(c.arg(0), 'queue') is None:
                raise Fault('power notifications to 0x%x, which is no queue' % c.arg(0))
            h = dev.handles.new('power', None)
            self.registrations[h] = (c.arg(0), c.arg(1))
            return h

        @answer
        def StopPowerNotifications(c):
            dev.handles.close(c.arg(0), 'power')
            del self.registrations[c.arg(0)]
            return 0
        return out
