#!/usr/bin/env python3
"""The instruction check's rules for code behind the SSE2 check, on a made-up disassembly."""
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_pe  # noqa: E402

LISTED = [("_Grow", "sse2-checked"), ("_Probe", "sse2-dispatch"), ("_Mark", "sse2-dispatch")]

# The probe asks CPUID once the EFLAGS.ID bit turned; the marking calls the SSE2 growth, which may
# hold the P6's CMOV beside SSE2; _Paint is ordinary 486 code.
PROBE = "  401000:\tpushf\n  401001:\tpopf\n  401002:\tcpuid\n"
MARK = "  401100:\tcall   401200 <_Grow>\n"
GROW = "  401200:\tmovdqu (%eax),%xmm0\n  401204:\tcmovne %eax,%ebx\n"
PAINT = "  401300:\tret\n"


def faults(probe=PROBE, mark=MARK, grow=GROW, paint=PAINT, data=""):
    disassembly = "".join(f"00{address} <{name}>:\n{body}\n" for address, name, body in (
        ("401000", "_Probe", probe), ("401100", "_Mark", mark), ("401200", "_Grow", grow),
        ("401300", "_Paint", paint)))
    contents = f"Contents of section .rdata:\n 402000 {data or '00000000'}  ....\n"
    check_pe.objdump = lambda *arguments: disassembly if arguments[0] == "-d" else contents
    return check_pe.check_instructions("saver.scr", LISTED)


class Sse2CheckedCode(unittest.TestCase):
    def test_reached_only_through_the_dispatch_it_passes(self):
        self.assertEqual(faults(), [])

    def test_a_call_an_address_or_a_stored_pointer_from_elsewhere_fails(self):
        for paint, data in (("  401300:\tcall   401200 <_Grow>\n", ""),
                            ("  401300:\tmov    $0x401200,%eax\n", ""),
                            (PAINT, "00124000")):
            with self.subTest(paint=paint, data=data):
                self.assertTrue(any("_Grow" in fault for fault in faults(paint=paint, data=data)))

    def test_instructions_after_sse2_fail_in_checked_code(self):
        self.assertTrue(faults(grow=GROW + "  401208:\tpshufb %xmm1,%xmm0\n"))
        self.assertTrue(faults(grow=GROW + "  401208:\tpopcnt %eax,%ebx\n"))

    def test_the_dispatch_holds_only_cpuid_behind_the_id_probe(self):
        self.assertTrue(faults(probe="  401000:\tcpuid\n"))
        self.assertTrue(faults(mark=MARK + "  401105:\tcmove  %eax,%ebx\n"))

    def test_sse2_outside_the_listed_functions_fails(self):
        self.assertTrue(faults(paint="  401300:\tpxor   %xmm0,%xmm0\n"))


if __name__ == "__main__":
    unittest.main()
