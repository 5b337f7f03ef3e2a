#!/usr/bin/env python3
"""Checks the shipped PE files, as objdump reads them: hardening, imports and, on i686, the
instructions.

  check_pe.py ALLOWED_IMPORTS UNREACHABLE_FUNCTIONS BUILD=FILE...

BUILD is i686 or x86_64. Every file must keep its relocations, ask for ASLR (dynamic base,
high-entropy on x86_64), DEP (NX compatible) and Terminal Server awareness, carry no debug
sections, declare asInvoker in its manifest, call buffer-checked string functions
(_FORTIFY_SOURCE), and import nothing that ALLOWED_IMPORTS does not hold for its build with the
oldest systems that build is meant for (i686: Windows 95 and NT 4.0; x86_64: XP x64). The i686 file must also be large-address-aware and run on a 486: no instruction
of a later processor (CMOV, FCOMI, MMX, SSE, ...) outside the functions of UNREACHABLE_FUNCTIONS.
A missing file fails: a build that was not made must not pass unseen.
"""
import dataclasses
import fnmatch
import functools
import re
import subprocess
import sys

OBJDUMP = "x86_64-w64-mingw32-objdump"

# Per build: objdump's name of its format, the DllCharacteristics it needs (DYNAMIC_BASE 0x40,
# NX_COMPAT 0x100, TERMINAL_SERVER_AWARE 0x8000; HIGH_ENTROPY_VA 0x20 on x86_64), the
# Characteristics it needs (LARGE_ADDRESS_AWARE 0x20), and the oldest systems, one per column of
# the allowed list.
TARGETS = {
    "i686": ("pei-i386", 0x8140, 0x0020, ("95", "NT4")),
    "x86_64": ("pei-x86-64", 0x8160, 0x0020, ("XP-x64",)),
}
# The one DLL that the oldest Windows 95 lacks and the saver still imports (allowed_imports.txt).
DOCUMENTED_REQUIREMENTS = {("msvcrt.dll", "OSR2.5")}

# Instructions that a 486 or a Pentium cannot run: the P6's CMOV, FCMOV, FCOMI and long NOPs,
# MMX and SSE (any use of their registers), and what came later.
LATER_MNEMONIC = re.compile(
    r"^(cmov|fcmov|fu?comip?$|nop[wl]$|emms$|[slm]fence$|prefetch|clflush|movnt|ldmxcsr$|"
    r"stmxcsr$|fxsave|fxrstor|sysenter$|sysexit$|rdpmc$|popcnt$|lzcnt$|tzcnt$|rdrand$|rdseed$|"
    r"xgetbv$|xsave|xrstor|cmpxchg8b$|rdtscp?$|cpuid$|fisttp|movbe$|crc32|andn$|bextr$|blsi$|"
    r"blsr$|bzhi$|pdep$|pext$|rorx$|sarx$|shlx$|shrx$|mulx$|adcx$|adox$)")
LATER_REGISTER = re.compile(r"%[xyz]?mm\d")
# Of those, the ones that came after SSE2 (SSE3, SSSE3, SSE4, AVX and later): code that runs only
# on an SSE2 processor may hold the rest, since every SSE2 processor is a P6 or later.
AFTER_SSE2_MNEMONIC = re.compile(
    r"^(v|fisttp|lddqu$|movddup$|movs[hl]dup$|h(add|sub)p|addsubp|monitor|mwait|pshufb$|phadd|"
    r"phsub|pmaddubsw$|pmulhrsw$|psign|pabs|palignr$|p?blend|dpp[sd]$|extractps$|insertps$|"
    r"mpsadbw$|packusdw$|pcmp[eg]tq$|pcmp[ei]str|pextr[bdq]$|pinsr[bdq]$|phminposuw$|"
    r"pm(ax|in)s[bd]$|pm(ax|in)u[wd]$|pmov[sz]x|pmuldq$|pmulld$|ptest$|round[ps][sd]$|"
    r"movntdqa$|crc32|popcnt$|lzcnt$|tzcnt$|andn$|bextr$|bls|bzhi$|pdep$|pext$|rorx$|sarx$|"
    r"shlx$|shrx$|mulx$|adcx$|adox$|movbe$|rdrand$|rdseed$|xgetbv$|xsave|xrstor|rdtscp$|aes|"
    r"pclmul|sha)")
AFTER_SSE2_REGISTER = re.compile(r"%[yz]mm\d")


def read_columns(path):
    """Lines of FIELD... # comment, as lists of fields; comments and blank lines dropped."""
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            fields = line.split("#", 1)[0].split()
            if fields:
                yield fields


def objdump(*arguments):
    dump = subprocess.run([OBJDUMP, *arguments], capture_output=True, text=True, check=False)
    if dump.returncode != 0:
        raise OSError(f"cannot read {arguments[-1]}: {dump.stderr.strip()} (build that tree first)")
    return dump.stdout


def check_headers(build, path, text):
    file_format, wanted, characteristics, _ = TARGETS[build]
    faults = []
    if f"file format {file_format}" not in text:
        faults.append(f"not a {file_format} file")
    flags = int(re.search(r"^DllCharacteristics\s+([0-9a-f]+)", text, re.M).group(1), 16)
    if flags & wanted != wanted:
        faults.append(f"DllCharacteristics {flags:#06x} lacks {wanted:#06x}")
    image = int(re.search(r"^Characteristics 0x([0-9a-f]+)", text, re.M).group(1), 16)
    if image & characteristics != characteristics:
        faults.append(f"Characteristics {image:#06x} lacks {characteristics:#06x}")
    relocations = re.search(r"^Entry 5 [0-9a-f]+ ([0-9a-f]+)", text, re.M)
    if "relocations stripped" in text or int(relocations.group(1), 16) == 0:
        faults.append("no base relocations: the loader cannot move the image")
    debug = sorted(set(re.findall(r"^\s*\d+ (\.debug\S*)", objdump("-h", path), re.M)))
    if debug:
        faults.append(f"debug sections {' '.join(debug)}")
    with open(path, "rb") as image_file:
        if not re.search(rb'requestedExecutionLevel\s+level="asInvoker"', image_file.read()):
            faults.append("its manifest does not ask for requestedExecutionLevel asInvoker")
    return faults


def check_imports(build, text, allowed):
    systems = TARGETS[build][3]
    faults = []
    for table in text.split("\tDLL Name: ")[1:]:
        dll, _, body = table.partition("\n")
        for line in body.split("\n\n", 1)[0].splitlines()[1:]:  # below the "vma:" heading
            function = line.split()[-1]
            oldest = allowed.get((build, dll.lower(), function))
            if oldest is None:
                faults.append(f"imports {dll} {function}, which the allowed list lacks")
                continue
            for system, needed in zip(systems, oldest):
                if needed != system and (dll.lower(), needed) not in DOCUMENTED_REQUIREMENTS:
                    faults.append(f"imports {dll} {function}, which needs {needed}")
    return faults


@dataclasses.dataclass
class Function:
    """A label of the disassembly and what its code holds."""
    name: str
    address: int
    later: set = dataclasses.field(default_factory=set)  # mnemonics a 486 or a Pentium lacks
    after_sse2: set = dataclasses.field(default_factory=set)  # of those, the ones after SSE2
    every: set = dataclasses.field(default_factory=set)  # every mnemonic
    refers: set = dataclasses.field(default_factory=set)  # functions called or named by address


def check_instructions(path, unreachable):
    """Functions holding a later processor's instructions, less the listed ones. Code under a bare
    section label (a runtime object's static functions, which carry no symbol) is named after the
    first symbol that follows it: ".text-before:NAME". A function refers to another by a direct
    call or jump, or by its address in an instruction or in a data section. A function listed as
    never called must not be referred to by any function that is not listed so. A function listed
    as sse2-checked may hold SSE2 and what came before it, and only sse2-dispatch functions and
    other sse2-checked ones may refer to it. An sse2-dispatch function holds no later instruction
    but CPUID, and that only beside the EFLAGS.ID probe (PUSHF and POPF) that finds it."""
    functions = []
    for line in objdump("-d", "--no-show-raw-insn", path).splitlines():
        label = re.match(r"^([0-9a-f]+) <(.+)>:$", line)
        if label:
            functions.append(Function(label.group(2), int(label.group(1), 16)))
            continue
        parts = line.split("\t")
        if not functions or len(parts) < 2 or not parts[1].strip():
            continue
        function = functions[-1]
        mnemonic, _, operands = parts[1].strip().partition(" ")
        # The exception tables are data that the linker places in .text: objdump decodes them as
        # whatever instructions their bytes happen to spell.
        if function.name == ".gcc_except_table":
            continue
        function.every.add(mnemonic)
        if LATER_MNEMONIC.match(mnemonic) or LATER_REGISTER.search(operands):
            function.later.add(mnemonic)
            if AFTER_SSE2_MNEMONIC.match(mnemonic) or AFTER_SSE2_REGISTER.search(operands):
                function.after_sse2.add(mnemonic)
        target = re.match(r"(?:call|jmp)\s+[0-9a-f]+ <([^>+]+)", parts[1].strip())
        if target:
            function.refers.add(target.group(1))
        else:
            function.refers.update(int(value, 16)
                                   for value in re.findall(r"\$?0x([0-9a-f]+)", operands))
    for index, function in enumerate(functions):
        if function.name == ".text":
            following = next((later.name for later in functions[index + 1:]
                              if later.name != ".text"), "")
            function.name = f".text-before:{following}"
    named = {function.address: function.name for function in functions}
    for function in functions:
        function.refers = {named.get(callee, callee) for callee in function.refers
                           if not isinstance(callee, int) or callee in named}
    stored = {named[word] for word in data_words(path) if word in named}

    @functools.lru_cache(maxsize=None)
    def why(name):
        return next((reason for pattern, reason in unreachable
                     if fnmatch.fnmatchcase(name, pattern)), None)

    reached = {function.name for function in functions if why(function.name) != "never-called"}
    pending = [function.refers for function in functions if function.name in reached]
    refers_of = {function.name: function.refers for function in functions}
    while pending:
        for callee in pending.pop():
            if callee not in reached:
                reached.add(callee)
                pending.append(refers_of.get(callee, ()))
    faults = []
    for function in functions:
        name, mnemonics, reason = function.name, function.later, why(function.name)
        for callee in sorted(function.refers):
            if why(callee) == "sse2-checked" and reason not in ("sse2-checked", "sse2-dispatch"):
                faults.append(f"{name} refers to {callee}, which is listed as sse2-checked, though "
                              "it is not listed as sse2-dispatch")
        if reason == "sse2-dispatch":
            probed = {"pushf", "popf"} <= function.every
            if mnemonics - {"cpuid"} or (mnemonics and not probed):
                faults.append(f"{name} holds {', '.join(sorted(mnemonics))}, though listed as "
                              "sse2-dispatch (CPUID only, beside the EFLAGS.ID probe)")
            continue
        if reason == "sse2-checked":
            if function.after_sse2:
                faults.append(f"{name} holds {', '.join(sorted(function.after_sse2))}, which came "
                              "after SSE2, though listed as sse2-checked")
            if name in stored:
                faults.append(f"{name} is listed as sse2-checked and its address is in the data")
            continue
        if not mnemonics:
            continue
        if reason is None:
            faults.append(f"{name} holds {', '.join(sorted(mnemonics))}, which a 486 or a Pentium "
                          "cannot run")
        elif reason == "never-called" and name in reached:
            faults.append(f"{name} holds {', '.join(sorted(mnemonics))} and is called, though "
                          "listed as never called")
    return faults


def data_words(path):
    """The aligned 32-bit words of the sections that hold data, less the unwind tables, whose
    entries give the address of every function."""
    contents = {}
    section = None
    for line in objdump("-s", path).splitlines():
        heading = re.match(r"^Contents of section (\S+):", line)
        if heading:
            section = heading.group(1)
            continue
        if section in (None, ".text", ".eh_frame") or not line.startswith(" "):
            continue
        fields = line[1:].split("  ", 1)[0].split()  # the address, then up to four words of hex
        contents.setdefault(section, bytearray()).extend(bytes.fromhex("".join(fields[1:])))
    return {int.from_bytes(data[i:i + 4], "little")
            for data in contents.values() for i in range(0, len(data) - 3, 4)}


def symbols(path):
    """The symbol table: name to address."""
    table = {}
    listing = subprocess.run(["x86_64-w64-mingw32-nm", path], capture_output=True, text=True,
                             check=True).stdout
    for line in listing.splitlines():
        fields = line.split()
        if len(fields) == 3:
            table[fields[2]] = int(fields[0], 16)
    return table


def check_symbols(build, table):
    faults = []
    # _FORTIFY_SOURCE=2 in effect: the compiler called at least one checked string function.
    if not any(re.fullmatch(r"_{2,3}(mem|str|stp|wcs)\w*_chk", name) for name in table):
        faults.append("no buffer-checked string function: built without _FORTIFY_SOURCE")
    # _mark_section_writable (listed as never run) runs only for a pseudo-relocation to apply.
    if build == "i686" and (table["___RUNTIME_PSEUDO_RELOC_LIST_END__"] !=
                            table["___RUNTIME_PSEUDO_RELOC_LIST__"]):
        faults.append("runtime pseudo-relocations: _mark_section_writable would run")
    return faults


def check(build, path, allowed, unreachable):
    try:
        text = objdump("-p", path)
        faults = check_headers(build, path, text) + check_imports(build, text, allowed)
        faults += check_symbols(build, symbols(path))
        if build == "i686":
            faults += check_instructions(path, unreachable)
    except (OSError, subprocess.CalledProcessError) as error:
        return [str(error)]
    return faults


def main():
    allowed = {(f[0], f[1].lower(), f[2]): tuple(f[3:]) for f in read_columns(sys.argv[1])}
    unreachable = [(fields[1], fields[0]) for fields in read_columns(sys.argv[2])]
    failed = False
    for argument in sys.argv[3:]:
        build, path = argument.split("=", 1)
        faults = check(build, path, allowed, unreachable)
        for fault in faults:
            print(f"{build}: {fault}")
        print(f"{build}: {path}: {'FAILED' if faults else 'ok'}")
        failed = failed or bool(faults)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
