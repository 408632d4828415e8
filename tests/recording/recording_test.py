"""tarnix-host acquire --wav, read back by Python's own wave module (which
shares nothing with the program's writer) and compared with what the module
delivered: the simulated board's sequence and constant signals, whose every
code is known, and the CSV of the same run. Natively, or with tarnix-host.exe
under Wine (--wine-run). Replayed through the simulated board into the same
inputs at the same rate for as many scans, a recording is recorded again
code for code. Natively also: a run killed midway and a run stopped
by a file-size limit leave readable files; with --memory, a 40 s recording
stays within 1.25 times the peak memory of a 10 s one.
Prints "ok - " per check, "not ok - " with the reason for a failed one.

    python3 recording_test.py --bin BUILD/bin --work DIR [--wine-run scripts/wine-run.sh]
                              [--module-version X.Y.Z.W] [--memory]
"""
import argparse
import datetime
import json
import os
import re
import resource
import signal
import subprocess
import sys
import time
import wave

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'scripts'))
from recording_info import read_description, sequence_codes  # noqa: E402

ARGS = None
FAILED = []

# Inputs 0, 1 and 5 carry sequences (5 in a narrower window), 2 a constant.
BOARD = {'boards': [{
    'serial': 4711, 'name': 'Recording bench', 'maxRate': 250000, 'inputs': 8,
    'signals': [
        {'channel': 0, 'kind': 'sequence', 'step': 4885},
        {'channel': 1, 'kind': 'sequence', 'step': 9770},
        {'channel': 2, 'kind': 'constant', 'offset': 1250000},
        {'channel': 5, 'kind': 'sequence', 'step': 4885, 'amplitude': 2000000},
    ]}]}


def expected_frame(scan):
    return (sequence_codes(4885, scan), sequence_codes(9770, scan), int(1250000 / 4885),
            sequence_codes(4885, scan, amplitude=2000000))


def check(condition, what, detail=''):
    if condition:
        print(f'ok - {what}')
    else:
        print(f'not ok - {what}: {detail}')
        FAILED.append(what)
    return condition


def program_path(path):
    """A file name as the program takes it (Wine's drive Z: is the root)."""
    path = os.path.abspath(path)
    return 'Z:' + path.replace('/', '\\') if ARGS.wine_run else path


def host_command(args):
    if ARGS.wine_run:
        return ['sh', ARGS.wine_run, os.path.join(ARGS.bin, 'tarnix-host.exe')] + args
    return [os.path.join(ARGS.bin, 'tarnix-host')] + args


def run_host(args, **options):
    result = subprocess.run(host_command(args), capture_output=True, text=True, **options)
    result.stdout = result.stdout.replace('\r', '')
    result.stderr = result.stderr.replace('\r', '')
    return result


def frames_of(path):
    """Every frame of a recording as tuples of codes, and its header."""
    with wave.open(path, 'rb') as w:
        params = w.getparams()
        data = w.readframes(params.nframes)
    width = params.nchannels
    codes = [int.from_bytes(data[i:i + 2], 'little', signed=True) for i in range(0, len(data), 2)]
    return params, [tuple(codes[k:k + width]) for k in range(0, len(codes), width)]


def first_difference(frames, start=0):
    for k, frame in enumerate(frames):
        if frame != expected_frame(start + k):
            return f'frame {k}: {frame}, the signal has {expected_frame(start + k)}'
    return ''


def profile():
    path = os.path.join(ARGS.work, 'board.json')
    with open(path, 'w') as f:
        json.dump(BOARD, f)
    return program_path(path)


def test_recording_holds_what_the_module_delivered():
    wav = os.path.join(ARGS.work, 'run.wav')
    csv = os.path.join(ARGS.work, 'run.csv')
    before = datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)
    # 10001 samples/s over 4 inputs: 2500.25 scans/s. Blocks of 250 end
    # inside scans; 7 of them are 437 scans and 2 samples.
    r = run_host(['--board-config', profile(), '--sim-clock', 'unthrottled', 'acquire',
                  '-c', '0-2,5', '-r', '10001', '--block-size', '250', '--blocks', '7',
                  '--wav', program_path(wav), '--csv', program_path(csv)])
    if not check(r.returncode == 0, 'acquire --wav runs', f'exit {r.returncode}: {r.stderr}'):
        return
    params, frames = frames_of(wav)
    check((params.nchannels, params.sampwidth, params.framerate, params.nframes, params.comptype) ==
          (4, 2, 2500, 437, 'NONE'),
          'Python\'s wave reads 16-bit PCM, one channel per input, the rounded scan rate, one frame per whole scan',
          str(params))
    check('incomplete last scan left out: 2 samples\n' in r.stdout,
          'the trailing part-scan is left out and counted in the summary', r.stdout)
    check(first_difference(frames) == '', 'every frame holds the codes of the board\'s signals',
          first_difference(frames))
    with open(csv) as f:
        rows = [line.split(',') for line in f.read().splitlines()[1:]]
    as_codes = [tuple(round(float(v) * 2047 / 10) for v in row[1:]) for row in rows]
    check(as_codes == frames, 'the CSV of the same run holds the same codes, row for row',
          f'{len(as_codes)} rows, {len(frames)} frames')

    d = read_description(wav)
    print('# ' + ', '.join(f'{k}={v}' for k, v in d.items()))
    started = datetime.datetime.strptime(d.get('start_time', ''), '%Y-%m-%dT%H:%M:%SZ').replace(
        tzinfo=datetime.timezone.utc) if re.fullmatch(r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ', d.get('start_time', '')) else None
    scale = [float(v) for v in d.get('volts_per_code', '').split(',') if v]
    check(d.get('format') == 'tarnix-recording 1' and d.get('channels') == '0,1,2,5' and
          scale == [10 / 2047] * 4 and d.get('offset_volts') == '0,0,0,0' and
          float(d.get('scan_rate', 0)) == 10001 / 4 and d.get('board_serial') == '4711' and
          d.get('board_name') == 'Recording bench' and started is not None and
          before - datetime.timedelta(seconds=2) <= started <= before + datetime.timedelta(seconds=120),
          'the tnxr chunk names the inputs, their scale, the exact rate, the board and the start', str(d))
    if ARGS.module_version:
        check(d.get('module_version') == ARGS.module_version,
              'it names the module file\'s version', d.get('module_version', 'none'))
    else:
        check('module_version' not in d, 'a module without a version resource is not given one', str(d))


def test_replay_records_the_same_codes_again():
    run = ['--sim-clock', 'unthrottled', 'acquire', '-c', '0-7', '-r', '40000',
           '--block-size', '1000', '--blocks', '40']
    first, again, again_csv = (os.path.join(ARGS.work, name)
                               for name in ('first.wav', 'again.wav', 'again.csv'))
    # Inputs 3, 4, 6 and 7 keep the board's default mix of waves and noise.
    recorded = run_host(['--board-config', profile()] + run + ['--wav', program_path(first)])
    replay = os.path.join(ARGS.work, 'replay.json')
    with open(replay, 'w') as f:
        json.dump({'boards': [dict(BOARD['boards'][0], signals=[
            {'channel': k, 'kind': 'replay', 'file': 'first.wav', 'column': k} for k in range(8)])]}, f)
    replayed = run_host(['--board-config', program_path(replay)] + run +
                        ['--wav', program_path(again), '--csv', program_path(again_csv)])
    if not check(recorded.returncode == 0 and replayed.returncode == 0,
                 'a recording replays through the simulated board', recorded.stderr + replayed.stderr):
        return
    (params, frames), (params_again, frames_again) = frames_of(first), frames_of(again)
    with open(again_csv) as f:
        delivered = [tuple(round(float(v) * 2047 / 10) for v in line.split(',')[1:])
                     for line in f.read().splitlines()[1:]]
    alike = sum(a == b for a, b in zip(frames, frames_again))
    differs = next((k for k, (a, b) in enumerate(zip(frames, frames_again)) if a != b), None)
    codes = len({code for frame in frames for code in frame})
    print(f'# round trip: {len(frames)} and {len(frames_again)} frames of {params.nchannels} '
          f'channels, {alike} alike; {codes} distinct codes; {len(delivered)} scans delivered')
    check(params_again == params and len(frames) == 5000 and frames_again == frames and
          delivered == frames and codes >= 4094,  # input 0's sequence: -2047 to 2046
          'replayed into the same inputs at the same rate, the module delivers the recording\'s '
          'codes and they are recorded again, frame for frame',
          f'{params} / {params_again}, first differing frame {differs}, '
          f'CSV {"alike" if delivered == frames_again else "differs"}')


def header_data_bytes(path):
    """The data chunk's size as the header says now (0 before it has one)."""
    try:
        with open(path, 'rb') as f:
            head = f.read(4096)
    except FileNotFoundError:
        return 0
    at = head.find(b'data')
    return int.from_bytes(head[at + 4:at + 8], 'little') if at > 0 and len(head) >= at + 8 else 0


def test_killed_run_leaves_a_readable_file():
    wav = os.path.join(ARGS.work, 'killed.wav')
    run = subprocess.Popen(host_command(['--board-config', profile(), 'acquire', '-c', '0-2,5',
                                         '-r', '40000', '--block-size', '400', '--duration', '600',
                                         '--wav', wav]),
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    # Killed once the header has caught up with a second of frames.
    until = time.monotonic() + 60
    while header_data_bytes(wav) < 80000 and time.monotonic() < until and run.poll() is None:
        time.sleep(0.05)
    run.send_signal(signal.SIGKILL)
    run.wait()
    params, frames = frames_of(wav)
    check(run.returncode == -signal.SIGKILL and params.nframes >= 10000 and
          first_difference(frames) == '' and os.path.getsize(wav) >= 80 + params.nframes * 8,
          'a run killed midway leaves a file that reads, every frame it holds right',
          f'exit {run.returncode}, {params.nframes} frames {first_difference(frames)}')


def test_file_size_limit_ends_the_run_readably():
    wav = os.path.join(ARGS.work, 'limited.wav')
    limit = 100000

    def limited():
        resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))

    r = run_host(['--board-config', profile(), '--sim-clock', 'unthrottled', 'acquire',
                  '-c', '0-2,5', '-r', '40000', '--block-size', '400', '--duration', '10',
                  '--wav', program_path(wav)], preexec_fn=limited)
    params, frames = frames_of(wav)
    check(r.returncode == 7 and 'error: cannot write ' in r.stderr and 'File too large' in r.stderr and
          'any further' in r.stderr and params.nframes > 1000 and first_difference(frames) == '' and
          os.path.getsize(wav) <= limit and f'wrote {params.nframes} scans' in r.stdout,
          'a file-size limit ends the run with its reason and exit 7, the file readable up to it',
          f'exit {r.returncode}, {params.nframes} frames, {os.path.getsize(wav)} bytes: {r.stderr}')


def peak_kilobytes(seconds):
    """The program's own peak (its summary's VmHWM: what a parent's rusage
    would add, a forked Python's memory, is not in it), and the frames."""
    wav = os.path.join(ARGS.work, f'memory-{seconds}.wav')
    svg = os.path.join(ARGS.work, f'memory-{seconds}.svg')
    r = run_host(['--board-config', profile(), '--sim-clock', 'unthrottled', 'acquire', '-c', '0-7',
                  '-r', '200000', '--block-size', '4096', '--duration', str(seconds),
                  '--wav', wav, '--plot', svg])
    peak = re.search(r'^peak memory: (\d+) KB$', r.stdout, re.M)
    frames = wave.open(wav, 'rb').getnframes() if r.returncode == 0 else 0
    os.remove(wav)
    return r.returncode, int(peak.group(1)) if peak else 0, frames


def test_memory_stays_flat():
    short = peak_kilobytes(10)
    long = peak_kilobytes(40)
    print(f'# peak memory: 10 s {short[1]} KB, 40 s {long[1]} KB')
    check(short[0] == 0 and long[0] == 0 and short[2] >= 250000 and long[2] >= 1000000 and
          short[1] > 1000 and long[1] <= 1.25 * short[1],
          'a 40 s recording of 8 inputs at 200000 samples/s stays within 1.25 x the peak memory of 10 s',
          f'10 s: {short}, 40 s: {long} (exit, KB, frames)')


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument('--bin', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('--wine-run')
    parser.add_argument('--module-version')
    parser.add_argument('--memory', action='store_true')
    ARGS = parser.parse_args()
    os.makedirs(ARGS.work, exist_ok=True)
    tests = [test_recording_holds_what_the_module_delivered,
             test_replay_records_the_same_codes_again]
    if not ARGS.wine_run:
        tests += [test_killed_run_leaves_a_readable_file, test_file_size_limit_ends_the_run_readably]
    if ARGS.memory:
        tests.append(test_memory_stays_flat)
    for test in tests:
        try:
            test()
        except Exception as e:  # a file that does not read, a program that hangs
            check(False, test.__name__.replace('_', ' ')[5:], repr(e))
    return 1 if FAILED else 0


if __name__ == '__main__':
    sys.exit(main())
