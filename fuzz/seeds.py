#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

Each seed is a small, valid (or nearly valid) input that takes its target
deep at once: a real bitmap, a job file, a network response whose fields
account for its data area, a scripted exchange, pad answers... Targets that
read their input through libFuzzer's FuzzedDataProvider get seeds laid out
as it reads them: byte strings from the front, numbers and flags from the
back (the first number read is the last byte).

Run it after changing a target's input layout: fuzz/seeds.py
"""
import os
import shutil
import struct
import sys

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")


class Provided:
    """An input as FuzzedDataProvider reads it."""

    def __init__(self):
        self.front = bytearray()
        self.back = bytearray()  # in the order the target reads them

    def string(self, s):
        """ConsumeRandomLengthString: backslashes doubled, then a
        backslash and one more byte end the string."""
        b = s.encode("latin-1") if isinstance(s, str) else bytes(s)
        self.front += b.replace(b"\\", b"\\\\") + b"\\;"
        return self

    def raw(self, b):
        """ConsumeBytes / ConsumeRemainingBytes."""
        self.front += b.encode("latin-1") if isinstance(b, str) else bytes(b)
        return self

    def byte(self, v):
        """A one-byte number (a range under 256, a bool, a uint8)."""
        self.back.append(v & 0xFF)
        return self

    def u16(self, v):
        self.back += bytes([(v >> 8) & 0xFF, v & 0xFF])
        return self

    def u32(self, v):
        self.back += struct.pack(">I", v & 0xFFFFFFFF)
        return self

    def u64(self, v):
        self.back += struct.pack(">Q", v)
        return self

    def bytes(self):
        return bytes(self.front) + bytes(reversed(self.back))


def bmp(width, height, bpp, rows, palette=b"", header=40, top_down=False, compression=0, masks=b""):
    """A Windows bitmap file; `rows` are the stored rows (bottom-up unless
    top_down), each padded here to a multiple of four bytes."""
    stride = (width * bpp + 31) // 32 * 4
    pixels = b"".join(r.ljust(stride, b"\0") for r in rows)
    if header == 12:
        info = struct.pack("<IHHHH", 12, width, height, 1, bpp)
    else:
        info = struct.pack("<IiiHHIIiiII", header, width, -height if top_down else height, 1, bpp,
                           compression, len(pixels), 2835, 2835, len(palette) // 4, 0)
        info = info.ljust(header, b"\0")
    offset = 14 + len(info) + len(masks) + len(palette)
    head = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    return head + info + masks + palette + pixels


def signature_bmp():
    palette = b"\0\0\0\0\xff\xff\xff\0"
    rows = [bytes([0xFF] * 16) if y % 9 else bytes([0xF0, 0x0F] * 8) for y in range(64)]
    return bmp(128, 64, 1, rows, palette)


def bitmaps():
    grey = b"".join(bytes([i, i, i, 0]) for i in range(0, 256, 16))
    return {
        "mono_128x64.bmp": signature_bmp(),
        "rgb24_5x3.bmp": bmp(5, 3, 24, [bytes(range(y * 40, y * 40 + 15)) for y in range(3)]),
        "white_first_24.bmp": bmp(3, 2, 24, [b"\xff\xff\xff\x10\x20\x30\x80\x80\x80"] * 2),
        "grey8_topdown.bmp": bmp(9, 3, 8, [bytes(range(y, y + 9)) for y in range(3)], grey, top_down=True),
        "grey4_7x2.bmp": bmp(7, 2, 4, [b"\x01\x23\x45\x60", b"\xfe\xdc\xba\x90"], grey),
        "core_2x2.bmp": bmp(2, 2, 24, [b"\x00\x00\xff\xff\x00\x00"] * 2, header=12),
        "bitfields16.bmp": bmp(3, 1, 16, [b"\x1f\x00\xe0\x03\x00\x7c"], header=40, compression=3,
                               masks=struct.pack("<III", 0x7C00, 0x03E0, 0x001F)),
        "rgba32_v5.bmp": bmp(2, 2, 32, [b"\x10\x20\x30\x40\x50\x60\x70\x80"] * 2, header=124),
    }


def seeds_bmp():
    return bitmaps()


def seeds_bitimage():
    out = {}
    for i, (name, data) in enumerate(bitmaps().items()):
        out[name] = bytes([i % 3, i % 4]) + data
    # The edges of the work area: the widest and the tallest converted
    # picture, and the widest monochrome one the header can count.
    grey = b"".join(bytes([i, i, i, 0]) for i in range(256))
    out["wide_500x2_8bpp.bmp"] = b"\1\1" + bmp(500, 2, 8, [bytes(x * 7 & 0xFF for x in range(500))] * 2, grey)
    out["tall_1x650_8bpp.bmp"] = b"\1\1" + bmp(1, 650, 8, [bytes([y & 0xFF]) for y in range(650)], grey)
    out["mono_2040x8.bmp"] = b"\0\2" + bmp(2040, 8, 1, [bytes([0x5A] * 255)] * 8, b"\0\0\0\0\xff\xff\xff\0")
    return out


def seeds_jobfile():
    korean = "영수증 합계 12,000원".encode("cp949")
    return {
        "receipt.zor": b"1XCXN\r\nSTORE 01\r\n" + korean + b"\r\nSIGNPRT\r\n#NULL#cut#NULL#\r\n",
        "six_char.zor": b"10XCXN\r\n" + korean + b"\r\nline two\r\n",
        "mixed_ends.zor": b"P1A0Y\nfirst\rsecond\r\n\r\nlast",
        "korean_header.zor": "가1C".encode("cp949") + b"XN\r\n\x81\x41\xfe\r\n",
    }


def response(kind="0910", bitmap="2000000002000000", data="100000" + "00"):
    return ("012345678901" + kind + bitmap + data).encode()


def seeds_corvana_response():
    full = ("3" + "0" * 15)  # fields 3 and 4
    return {
        "cf.bin": b"\x00\x00" + response(),
        "cs_fields.bin": b"\x01\x01" + response(data="110000" + "000000012000"),
        "rf.bin": b"\x00\x02" + response("9910", "2000000002000000", "12345600"),
        "prefixed.bin": b"\x00\x00" + response(bitmap="0000000000180000", data="0512345012abc"),
        "command.bin": b"\x00\x00" + b"A/127.0.0.1/9000",
        "short_type.bin": b"\x03\x00" + response(bitmap=full, data="100000" + "0" * 12)[:30],
    }


def exchange(which, request, script_front, script_back):
    p = Provided().byte(which).string(request)
    if which < 2:
        p.byte(1)  # with a trace
    p.raw(script_front)
    for v in script_back:
        p.byte(v)
    return p.bytes()


def seeds_corvanavan_exchange():
    # Numbers in the order the exchange reads them: connect handle (-2..40,
    # byte 7 gives 5), SSL handle (0..3), waits (-1..2: byte 2 gives 1),
    # receive lengths (-1..64: byte n gives n-1), send results (bool).
    enq = b"\x05"
    resp = b"0123456789ABCDEFGHIJ"
    eot = b"\x04"
    return {
        "enq_response_eot.bin": exchange(0, "REQUEST", enq + resp + eot,
                                         [7, 1, 2, 2, 1, 2, len(resp) + 1, 1, 2, 2, 1]),
        "nak.bin": exchange(1, "REQ", b"\x15", [7, 2, 2, 2, 1]),
        "plain.bin": exchange(2, "PLAIN", resp, [7, 1, 1, 2, len(resp) + 1]),
        "steps.bin": exchange(3, "STEP", resp + resp, [7, 1, 1, 2, len(resp) + 1, 1, 2, len(resp) + 1]),
        "wait_expired.bin": exchange(0, "X", b"", [7, 1, 0]),
    }


def seeds_ini():
    def ini(section, key, value, other_section, other_key, text):
        return (Provided().string(section).string(key).string(value).string(other_section)
                .string(other_key).raw(text).bytes())
    text = b"; settings\r\n[Server]\r\nIP = 10.0.0.1\r\nPort=9000\r\n\r\n[Log]\r\nPath=\"c:\\log\"\r\n"
    return {
        "replace.bin": ini("server", "port", "9100", "Log", "Path", text),
        "new_section.bin": ini("Trace", "Level", " 3 ", "Server", "IP", text),
        "new_key.bin": ini("Log", "Days", "'7'", "log", "path", text),
        "value_break.bin": ini("Server", "IP", "1.2.3.4\r\n[Forged]\r\nx=1", "Forged", "x", text),
        "korean.bin": ini("한글".encode("cp949"), "키".encode("cp949"), "값".encode("cp949"), "", "",
                          "[한글]\n키=옛값\n".encode("cp949")),
    }


def seeds_text():
    return {
        "korean.txt": "포트OPEN: 영수증 출력 완료".encode("cp949"),
        "utf8.txt": "결제 승인 – ₩12,000 ✓".encode("utf-8"),
        "user_rows.bin": b"\xc9\xa1\xfe\xfe abc \x80\x81\xff",
        "mixed.bin": "가나다".encode("cp949") + "가나다".encode("utf-8") + b"\xed\xa0\x80",
        "tag_character.bin": b"\r\xf3\xa0\x80\x80",  # once dropped without a '?'
    }


def seeds_msgcall_records():
    def record(index, texts, raw):
        p = Provided().byte(index).byte(index)
        for t in texts:
            p.string(t)
        return p.raw(raw).byte(0).bytes()
    send_header = (b"Q" + b"A0001".ljust(32, b"\0") + b"01012345678".ljust(13, b"\0") +
                   b"0212345678".ljust(13, b"\0") + b"202401011200".ljust(16, b"\0") +
                   "제목".encode("cp949").ljust(120, b"\0") + b"1\0\0\0" + b"2\0\0\0" + b"N")
    terminal = Provided().byte(6)
    for t in ["A0001", "M", "user01", "dept01", "01012345678", "0212345678", "subject", "body text",
              "202401011200"]:
        terminal.string(t)
    terminal.string("jpg").byte(2).byte(1).u64(12345)
    return {
        "login.bin": record(0, ["dept", "1.1.3_0DA0", "M", "user"], b"B" + b"\0" * 66),
        "send_header.bin": record(2, ["A1", "010", "02", "2024", "subj", "1", "0", "N"], send_header),
        "attachment.bin": record(4, ["12345", "jpg"], b"0000012345jpg\0"),
        "terminal.bin": terminal.bytes(),
        "provider.bin": Provided().byte(7).byte(ord("1")).byte(36).raw(b"\0" * 32 + b"O\0\0\0").bytes(),
    }


def chunks(parts):
    p = Provided()
    for part in parts:
        p.raw(part)
    for part in parts:
        p.byte(len(part))
    return p.bytes()


def seeds_codeline():
    return {
        "two_codes.bin": chunks([b"8801234567890\r", b"ABC-123\r"]),
        "split_code.bin": chunks([b"4901234", b"567894\r\n", b"\r"]),
        "long_code.bin": chunks([b"9" * 80, b"9" * 30 + b"\r"]),
    }


def seeds_hx410_receiver():
    def stream(s, cuts):
        p = Provided().byte(len(cuts)).raw(bytes(cuts)).string(s)
        return p.bytes()
    records = b"\x06\x02REC0001,10,2500\x03\x02" + "상품".encode("cp949") + b",1\x03\x02   \x03>"
    return {
        "records.bin": stream(records, [5, 60, 200]),
        "enq.bin": stream(b"\x05", []),
        "korean_first.bin": stream("가".encode("cp949") + b"data\x03\x06>", [1]),
    }


def seeds_tallypad_answer():
    # Modes by index in the target's list: 0 None, 1 Init, 2 Sign, 3 SignSend,
    # 4 Pin, 5 PinEnc, 6..13 card reader kinds, 14 LogOn, 15 CardInfo, 16 Cancel.
    def answer(mode_index, data, cuts=(90,)):
        p = Provided().byte(mode_index).byte(1).byte(len(cuts) - 1).raw(bytes(cuts)).raw(data)
        return p.bytes()
    sign = b"\x02\xb1" + b"\x10\x20\x03" + b"\x11\x21\x03" + b"\xee\x00\x03" + b"\xea\x00\x03" + b"\xec\x00\x03"
    return {
        "init.bin": answer(1, b"\x02\x00\x05\x06" + b"V1.0"),
        "sign.bin": answer(2, sign, (7, 200)),
        "sign_data.bin": answer(3, b"\x02\x00\x06\xb2" + b"ABCDEF\x03\x00"),
        "card.bin": answer(6, b"\x06k\x00\x00\x05\x0b" + b"123456", (3,)),
        "card_info.bin": answer(15, b"\x06", (1,)),
        "cancel.bin": answer(16, b"\x06k\x00\x1c\x01"),
        "request.bin": Provided().byte(11).byte(0).string("0001").string("0123456789").string("1A2B").bytes(),
    }


def styl_frame(command, data):
    body = bytes([command]) + data + b"\x03"
    f = bytes([0x02, len(body) >> 8, len(body) & 0xFF]) + body
    lrc = 0
    for b in f[1:]:
        lrc ^= b
    return f + bytes([lrc])


def styl_point(x, y):
    f = bytes([0x02, 0xB1, x, y, 0x03])
    lrc = 0
    for b in f[1:]:
        lrc ^= b
    return f + bytes([lrc])


def seeds_stylpad_answer():
    ack = bytes([0x02, 0x00, 0x02, 0x06, 0x03, 0x07])
    pin = styl_frame(0xB3, b"041234")
    signing = ack + styl_point(10, 20) + styl_point(0xEE, 0xEE) + styl_point(128, 64) + styl_frame(0xB2, b"\x00" * 20)
    def burst(pin_mode, close, cut, data):
        return Provided().byte(pin_mode).byte(close).byte(cut).raw(data).bytes()
    return {
        "signing.bin": burst(0, 0, 100, signing),
        "pin.bin": burst(1, 0, 128, ack + pin),
        "escape.bin": burst(1, 0, 3, bytes([0x02, 0x00, 0x02, 0x1B, 0x03, 0x1A]) + b"junk"),
        "close.bin": burst(0, 1, 255, ack + styl_frame(0xBC, b"")),
    }


def seeds_quillpad_answer():
    def job(index, piece, data):
        return Provided().byte(index).byte(piece).raw(data).bytes()
    points = b"\x06\x06\x06" + b"".join(bytes([0x02, 0x00, 0x02, 0xC0, x, 10, 0x03, 0x55]) for x in (1, 2, 127)) + b"\x05\x05\x05"
    info = b"\x06\x06\x06\x02\x00\x05\xfa" + b"1HONG"
    more = b"\x06\x06\x06\x02\x00\x03\xfc" + b"1AB" + b"\x02\x00\x03\xfa" + b"1CD"
    pin = b"\x06\x06\x06\x02\x00\x05\xf7" + b"11234"
    return {
        "sign.bin": job(0, 5, points),
        "info.bin": job(1, 3, info),
        "more_blocks.bin": job(1, 62, more),
        "pin.bin": job(2, 0, pin),
        "nak.bin": job(2, 1, b"\x15\x15\x15"),
        "requests.bin": (Provided().byte(4).byte(1).string("1234567890123456").string(
            "0" * 34 + "000000012000" + "상품".encode("cp949").decode("latin-1")).string("12000")
            .string("0123456789ABCDEF").byte(1).bytes()),
    }


def seeds_stylpad_signature():
    key = bytes(range(8))
    def round_trip(runs):
        p = Provided().byte(1)
        for b in key:
            p.byte(b)
        for run, value, vary in runs:
            p.byte(run - 1).byte(value).byte(vary)
        return p.bytes()
    def any_frame(frame):
        p = Provided().byte(0)
        for b in key:
            p.byte(b)
        return p.raw(frame).bytes()
    head = bytes([0x02, 0x00, 0x00, 0xB2]) + b"0" * 16
    return {
        "sparse.bin": round_trip([(200, 0, 0), (5, 0x81, 0), (300, 0, 0), (20, 0x10, 1)]),
        "dense.bin": round_trip([(255, 0x55, 1), (255, 0xAA, 0), (255, 0x0F, 1), (255, 0xF0, 1)]),
        "frame.bin": any_frame(head + b"\x00\x10" + b"#@" + bytes(range(0x20, 0x2E)) + b"\x03\x00"),
        "bitmap.bin": any_frame(signature_bmp()),
    }


def seeds_quill_record():
    p = Provided()
    for i in range(81):
        p.byte(0x30 + i % 10)
    for b in b"\x13\x34\x57\x79\x9b\xbc\xdf\xf1":
        p.byte(b)
    p.byte(1).byte(4)
    for x, y in ((10, 10), (127, 5), (0, 63), (64, 32)):
        p.byte(x + 2).byte(y + 2).byte(0)
    drawn = p.bytes()
    q = Provided()
    for i in range(81):
        q.byte(i)
    for b in range(8):
        q.byte(b)
    q.byte(0).raw(bytes((i * 37) & 0xFF if i % 5 else 0 for i in range(1024)))
    return {"drawn.bin": drawn, "image.bin": q.bytes()}


def seeds_devctl_frame():
    request = struct.pack("<III", 0x222004, 4, 16) + b"OPEN"
    reply = struct.pack("<II", 1, 4) + b"\x01\x00\x00\x00"
    return {
        "request.bin": Provided().byte(0).byte(3).u32(16).raw(request + b"\x00").bytes(),
        "reply.bin": Provided().byte(1).byte(200).u32(16).raw(reply).bytes(),
        "encode.bin": Provided().byte(2).u32(0x222008).u32(8).byte(4).raw(b"ABCD").byte(1).raw(b"12345678").bytes(),
    }


def seeds_vdisplay():
    def stream(width, piece, data):
        return Provided().byte(width).byte(piece - 1).raw(data).bytes()
    korean = "합계 12,000원".encode("cp949")
    return {
        "clear_text.bin": stream(20, 3, b"\x0c\x1b@TOTAL\x1b[2;1H" + korean + b"\r\nthanks"),
        "escapes.bin": stream(32, 1, b"\x1bQA" + korean + b"\r\x1bQB1234\r\x1b[0K\x1f\x24\x01\x02X"),
        "cut_korean.bin": stream(2, 5, "가나".encode("cp949") + b"\x08\x09\x0a\x0b\x0d\x1b"),
    }


def seeds_msgsend_batch():
    def batch(args, text):
        p = Provided().byte(len(args))
        for a in args:
            p.string(a)
        return p.raw(text.encode("utf-8")).bytes()
    text = ("# two messages\nseq=A0001\ntype=M\nuser=user01\ndept=dept01\ncall=01012345678\n"
            "req=0212345678\nsubject=주문 확인\ntext=안녕하세요\\n감사합니다\nfile=a.jpg\n\n"
            "seq=A0002\ntext=second\\tline\\\\\nrdate=202401011200\n")
    return {
        "batch.bin": batch([], text),
        "defaults.bin": batch(["user=user01", "dept=dept01", "type=S"], "seq=1\ncall=010\nreq=02\nsubject=\ntext=x\n"),
        "crlf.bin": batch(["call=010"], "seq=9\r\nreq=02\r\n\r\n\r\nseq=10\r\n"),
    }


def main():
    targets = {name[len("seeds_"):]: fn for name, fn in globals().items() if name.startswith("seeds_")}
    for target, fn in sorted(targets.items()):
        folder = os.path.join(ROOT, target)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        for name, data in fn().items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
