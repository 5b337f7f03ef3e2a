#!/usr/bin/env python3
"""Prints how many pixels of the X server's current cursor image are visible (alpha above 0):
0 while the cursor is hidden. Speaks the X protocol on $DISPLAY's local socket and asks the XFIXES
extension for the image, so it sees what a user would see on that screen."""
import os
import socket
import struct


class Connection:
    def __init__(self):
        display = os.environ.get('DISPLAY', '')
        if not display.startswith(':'):
            raise SystemExit('xcursor: DISPLAY must name a local display, like :71')
        self.socket = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.socket.connect(f'/tmp/.X11-unix/X{display[1:].split(".")[0]}')
        self.socket.sendall(struct.pack('<BxHHHHxx', ord('l'), 11, 0, 0, 0))
        head = self.receive(8)
        if head[0] != 1:
            raise SystemExit('xcursor: the X server refused the connection')
        self.receive(4 * struct.unpack_from('<H', head, 6)[0])

    def receive(self, size):
        data = b''
        while len(data) < size:
            chunk = self.socket.recv(size - len(data))
            if not chunk:
                raise SystemExit('xcursor: the X server closed the connection')
            data += chunk
        return data

    def reply(self):
        """Reads up to the next reply, skipping events; fails on an error."""
        while True:
            head = self.receive(32)
            if head[0] == 0:
                raise SystemExit(f'xcursor: X error {head[1]} on request {head[10]}')
            if head[0] == 1:
                return head + self.receive(4 * struct.unpack_from('<I', head, 4)[0])


def cursor():
    x = Connection()
    name = b'XFIXES'
    padded = name + b'\0' * (-len(name) % 4)
    x.socket.sendall(struct.pack('<BxHHxx', 98, 2 + len(padded) // 4, len(name)) + padded)
    answer = x.reply()
    if not answer[8]:
        raise SystemExit('xcursor: the X server has no XFIXES')
    opcode = answer[9]
    x.socket.sendall(struct.pack('<BBHII', opcode, 0, 3, 4, 0))  # QueryVersion 4.0
    x.reply()
    x.socket.sendall(struct.pack('<BBH', opcode, 4, 1))  # GetCursorImage
    answer = x.reply()
    width, height = struct.unpack_from('<HH', answer, 12)
    pixels = struct.unpack_from(f'<{width * height}I', answer, 32)
    print(sum(1 for argb in pixels if argb >> 24))


if __name__ == '__main__':
    cursor()
