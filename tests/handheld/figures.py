"""The handheld figures of one device profile, in markdown: for each life,
the instructions the ARM DLL ran for its load, its first paint and an
ordinary repaint (counts from the emulator, not times), the high-water
mark of its heap blocks, and the GDI objects and DCs it holds between
paints."""
import os


def held_between_paints(device, steps):
    """What the DLL held after the first paint the host asked for in the
    life's own words: after its first 'paint' step."""
    held = device.held[steps.index('paint')] if 'paint' in steps else {}
    return '%d (%s)' % (sum(held.values()), ', '.join('%d %s' % (n, k) for k, n in sorted(held.items()))) \
        if held else '0'


def count(values, i):
    return '{:,}'.format(values[i]) if len(values) > i else '-'


def section(answers, played):
    """played: (name, steps, device) of each life that ran."""
    profile = os.path.basename(os.path.normpath(os.environ.get('QZL_PREFIX', 'the device')))
    out = ['## %s: %sx%s at %s dpi' % (profile, answers.get('GetSystemMetrics 0'), answers.get('GetSystemMetrics 1'),
                                      answers.get('GetDeviceCaps 88')), '',
           '| Life | Load (instructions) | First paint (instructions) | Repaint (instructions) '
           '| Heap high-water (bytes) | GDI objects and DCs held between paints |',
           '|---|---|---|---|---|---|']
    for name, steps, device in played:
        loads = [int(c.rsplit(' ', 1)[1]) for c in device.counts if c.startswith('load ')]
        out.append('| %s | %s | %s | %s | {:,} | %s |'.format(device.dev.heap.high) % (
            name, count(loads, 0), count(device.paints, 0), count(device.paints, 1),
            held_between_paints(device, steps)))
    return '\n'.join(out) + '\n'
