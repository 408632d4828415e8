#!/usr/bin/env python3
"""Writes the seed corpus (fuzz/corpus): the host's usual calling orders,
encoded in the step format the fuzz target reads (fuzz/fuzz_input.h,
driver_fuzzer.cpp, host_record.cpp, board_script.cpp)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Entry points, by their number in the fuzz target (fuzz/entry_numbers.h).
INIT, KILL, SHOW_ERROR, TEST_STRUCT, START, STOP, BUFFER_SIZE = 0, 1, 2, 3, 4, 5, 6
STATUS, GET_BUF, ADVANCE, MEAS_INFO = 7, 8, 9, 10
WRITE_AO, WRITE_DO, WRITE_CT, READ_DI, READ_CT, EXPLAIN = 11, 12, 13, 14, 15, 16
SHOW_DIALOG, NEW_SHEET, LOAD_SHEET, SAVE_SHEET = 31, 32, 33, 34
# Record fields (host_record.cpp) and board-script steps (board_script.cpp).
F_SAMPLE_RATE, F_BLOCK_SIZE, F_MASK = 2, 6, 7
RECORD_FIELD = 0x80
SCRIPT = 0xA8
S_ANSWER, S_FAIL, S_FEED, S_OVERRUN, S_CLOCK, S_ADVANCE = 0, 1, 2, 3, 4, 5
S_SYSTEM_FAULT, S_USER, S_CONVERSION_PATH, S_FOREIGN_VALUE = 9, 10, 13, 14
# Query codes by position in board_script.cpp's list.
Q_BOARD_COUNT, Q_BOARD_SERIAL = 4, 10
IDC_BOARD_LIST, IDC_CLOCK, IDC_RANGE, IDC_GAIN, IDC_MODE, BTN_OK, BTN_CANCEL = range(7)


def i32(v):
    return struct.pack("<i", v)


def u32(v):
    return struct.pack("<I", v)


def text(s):
    b = s.encode()
    return bytes([len(b)]) + b


def call(entry, *args):
    return bytes([entry]) + b"".join(args)


def field_int(index, value):
    # choice 0: raw 64-bit value, low bits stored
    return bytes([RECORD_FIELD, index, 0]) + struct.pack("<q", value)


def field_double(index, value):
    return bytes([RECORD_FIELD, index, 0]) + struct.pack("<d", value)


def user(template_pick, actions):
    out = bytes([SCRIPT + S_USER, template_pick, len(actions) - 1])
    for kind, control, value in actions:
        out += bytes([kind, control]) + i32(value)
    return out


def advance(us):
    return bytes([SCRIPT + S_ADVANCE, 1]) + u32(us)


OK = (2, 0, 0)
CANCEL = (3, 0, 0)


def pick(control, entry):
    return (0, control, entry)


def cycle(times, us=300000):
    out = b""
    for _ in range(times):
        out += advance(us) + call(STATUS) + call(GET_BUF) + call(ADVANCE) + call(MEAS_INFO)
    return out


def opening(dialog_actions=(OK,)):
    return (call(INIT, b"\x01") + call(LOAD_SHEET, text("Default"), b"\x01")
            + user(1, list(dialog_actions)) + call(SHOW_DIALOG, b"\x00", i32(0)))


def measurement(buffer=4096, mask=3, block=256, rate=1000.0, cycles=6, extra=b""):
    return (field_int(F_MASK, mask) + field_double(F_SAMPLE_RATE, rate)
            + field_int(F_BLOCK_SIZE, block) + call(BUFFER_SIZE, i32(buffer))
            + call(TEST_STRUCT) + call(START) + extra + cycle(cycles) + call(STOP))


def closing():
    return call(SAVE_SHEET, text("Default"), b"\x01") + call(KILL)


SEEDS = {
    "session_normal": opening() + measurement() + closing(),
    "session_setup_picks": opening([pick(IDC_BOARD_LIST, 1), pick(IDC_RANGE, 1),
                                    pick(IDC_GAIN, 2), pick(IDC_CLOCK, 0), pick(IDC_MODE, 1),
                                    OK]) + measurement(mask=0x00FF) + closing(),
    "session_setup_cancel": opening([pick(IDC_BOARD_LIST, 1), CANCEL])
                            + measurement(cycles=2) + closing(),
    "session_overrun": opening() + measurement(
        extra=cycle(2) + bytes([SCRIPT + S_OVERRUN, 3, 1]) + i32(1)) + closing(),
    "session_short_delivery": opening() + measurement(
        extra=bytes([SCRIPT + S_FEED]) + struct.pack("<H", 100) + bytes([3]) + i32(0)
        + bytes([0]) + i32(500)) + closing(),
    "session_unthrottled": opening() + bytes([SCRIPT + S_CLOCK, 1])
                           + measurement(buffer=65536, block=1024, rate=50000.0) + closing(),
    "session_library_failure": opening() + bytes([SCRIPT + S_FAIL, 3, 0, 5, 2])
                               + measurement(cycles=1) + call(SHOW_ERROR) + closing(),
    "session_io": call(INIT, b"\x01") + call(WRITE_AO, i32(0), i32(40000))
                  + call(WRITE_DO, i32(0), i32(0x55)) + call(WRITE_CT, i32(0), i32(1000))
                  + call(READ_DI, i32(0)) + call(READ_CT, i32(0))
                  + call(EXPLAIN, i32(0), i32(0)) + call(KILL),
    "session_about_new_sheet": call(INIT, b"\x01") + call(SHOW_DIALOG, b"\x01", i32(0))
                               + call(NEW_SHEET) + call(SAVE_SHEET, text("Other"), b"\x01")
                               + call(LOAD_SHEET, text("Other"), b"\x01") + call(KILL),
    "session_no_memory": call(INIT, b"\x01") + bytes([SCRIPT + S_SYSTEM_FAULT, 0, 0, 1])
                         + measurement(cycles=1) + call(KILL),
}


def answer(serial_pick, code_index, param, value):
    # param: 1 then param % 40; the answer: pick 6 takes the raw value
    return (bytes([SCRIPT + S_ANSWER, serial_pick, code_index, 1, param, 6]) + i32(value))


def conversion(path_index):
    return bytes([SCRIPT + S_CONVERSION_PATH, path_index])


def foreign_value(name_index, reg_type, data):
    return bytes([SCRIPT + S_FOREIGN_VALUE, name_index, reg_type, len(data)]) + data


SEEDS.update({
    "session_about_ok": call(INIT, b"\x01") + user(2, [OK]) + call(SHOW_DIALOG, b"\x01", i32(0))
                        + call(KILL),
    "session_no_boards": answer(0, Q_BOARD_COUNT, 0, 0) + call(INIT, b"\x01") + call(SHOW_ERROR)
                         + call(SHOW_DIALOG, b"\x00", i32(0)),
    "session_board_serial_zero": answer(0, Q_BOARD_SERIAL, 0, 0) + opening() + measurement(cycles=2)
                                 + closing(),
    "session_foreign_values": foreign_value(3, 4, b"\x02\x00") + foreign_value(0, 1, b"")
                              + foreign_value(5, 3, b"\x01\x00\x00\x00\x00\x00\x00\x00")
                              + call(INIT, b"\x01") + call(LOAD_SHEET, text("Default"), b"\x01")
                              + call(KILL),
    "session_sse2_conversion": conversion(2) + opening() + measurement(mask=0xFFFF, cycles=3)
                               + closing(),
    "session_scalar_conversion": conversion(3) + opening() + bytes([SCRIPT + S_CLOCK, 1])
                                 + measurement(block=1000, cycles=3) + closing(),
})


def main():
    out = os.path.join(HERE, "corpus")
    os.makedirs(out, exist_ok=True)
    for name, data in SEEDS.items():
        with open(os.path.join(out, name), "wb") as f:
            f.write(data)
    print(f"{len(SEEDS)} seeds in {out}")


if __name__ == "__main__":
    main()
