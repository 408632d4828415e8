#!/usr/bin/env python3
"""Prints what a TARNIX recording (tarnix-host acquire --wav, the live view's
Record button) holds: the WAV header as Python's own wave module reads it and
the "tnxr" description, one key a line. With --expect-sequence STEP it also
checks every frame against the simulated board's `sequence` signal of that
step on every channel (sample k of a channel reads -10 V + k x STEP uV, back
to -10 V past +10 V, as codes of the module's +-10 V scale) and prints how
many frames differ; exit status 1 when any does.

    python3 scripts/recording_info.py FILE.wav [--expect-sequence 4885]

Reads plain RIFF files (Python's wave module has no RF64).
"""
import argparse
import struct
import sys
import wave

DIVISOR = 4885  # microvolts per code on the +-10 V range: 10000000 // 2047


def read_description(path):
    """The "tnxr" chunk's keys and values, in file order."""
    with open(path, 'rb') as f:
        riff, _, form = struct.unpack('<4sI4s', f.read(12))
        if riff != b'RIFF' or form != b'WAVE':
            raise ValueError(f'{path}: not a RIFF/WAVE file')
        while True:
            head = f.read(8)
            if len(head) < 8:
                return {}
            ident, size = struct.unpack('<4sI', head)
            if ident == b'tnxr':
                text = f.read(size).decode('utf-8')
                return dict(line.split('=', 1) for line in text.split('\n') if line)
            f.seek(size + size % 2, 1)


def sequence_codes(step, scan, amplitude=10000000):
    """The module's code of a sequence signal's sample `scan`."""
    period = 2 * amplitude // step + 1
    value = -amplitude + (scan % period) * step
    return int(value / DIVISOR)  # the module truncates toward zero


def check_sequence(path, step, channels):
    """Frames that differ from the sequence on every channel, and the first."""
    period = 2 * 10000000 // step + 1
    pattern = b''.join(struct.pack('<h', sequence_codes(step, k)) * channels for k in range(period))
    frame_bytes = 2 * channels
    bad, first, frame = 0, None, 0
    with wave.open(path, 'rb') as w:
        while True:
            data = w.readframes(period * 64)
            if not data:
                break
            frames = len(data) // frame_bytes
            expected = (pattern * 65)[frame % period * frame_bytes:][:len(data)]
            if data != expected:
                for k in range(frames):
                    span = slice(k * frame_bytes, (k + 1) * frame_bytes)
                    if data[span] != expected[span]:
                        bad += 1
                        first = frame + k if first is None else first
            frame += frames
    return frame, bad, first


def main():
    parser = argparse.ArgumentParser(description=__doc__.split('\n\n')[0])
    parser.add_argument('file')
    parser.add_argument('--expect-sequence', type=int, metavar='STEP')
    args = parser.parse_args()
    with wave.open(args.file, 'rb') as w:
        print(f'channels {w.getnchannels()}, {8 * w.getsampwidth()}-bit, {w.getframerate()} frames/s, '
              f'{w.getnframes()} frames ({w.getnframes() / w.getframerate():.3f} s at the header rate)')
        channels = w.getnchannels()
    for key, value in read_description(args.file).items():
        print(f'{key}={value}')
    if args.expect_sequence:
        frames, bad, first = check_sequence(args.file, args.expect_sequence, channels)
        where = f', the first at frame {first}' if bad else ''
        print(f'sequence check: {frames} frames, {bad} differ from the signal{where}')
        return 1 if bad else 0
    return 0


if __name__ == '__main__':
    sys.exit(main())
