"""The handheld figures of each device profile, in markdown: for each life,
the instructions the ARM DLL ran for its load, its first paint and an
ordinary repaint (counts from the emulator, not times), the high-water
mark of its heap blocks, and the GDI objects and DCs it holds between
paints."""


def held_between_paints(device, steps):
    """What the DLL held after the first paint the host asked for in the
    life's own words: after its first 'paint' step."""
    held = device.held[steps.index('paint')] if 'paint' in steps else {}
    return '%d (%s)' % (sum(held.values()), ', '.join('%d %s' % (n, k) for k, n in sorted(held.items()))) \
        if held else '0'


def count(values, i):
    return '{:,}'.format(values[i]) if len(values) > i else '-'


def section(profile, answers, played):
    """played: (name, steps, device) of each life that ran on `profile`."""
    out = ['## %s: %sx%s at %s dpi, %s bits per pixel' % (
               profile, answers.get('GetSystemMetrics 0'), answers.get('GetSystemMetrics 1'),
               answers.get('GetDeviceCaps 88'), answers.get('GetDeviceCaps 12')), '',
           '| Life | Load (instructions) | First paint (instructions) | Repaint (instructions) '
           '| Heap high-water (bytes) | GDI objects and DCs held between paints |',
           '|---|---|---|---|---|---|']
    for name, steps, device in played:
        loads = [int(c.rsplit(' ', 1)[1]) for c in device.counts if c.startswith('load ')]
        out.append('| %s | %s | %s | %s | {:,} | %s |'.format(device.dev.heap.high) % (
            name, count(loads, 0), count(device.paints, 0), count(device.paints, 1),
            held_between_paints(device, steps)))
    return '\n'.join(out) + '\n'


def sections(played):
    """played: (profile, answers, name, steps, device) of each life that
    ran; a section for each profile, in the order the lives reached them."""
    profiles = []
    for profile, answers, *_ in played:
        if profile not in [p for p, _ in profiles]:
            profiles.append((profile, answers))
    return '\n'.join(section(profile, answers, [life[2:] for life in played if life[0] == profile])
                     for profile, answers in profiles)
