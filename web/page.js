// The page around the engine: pictures decoded by the browser and handed over as RGBA rows, the
// saver's timer driven by setTimeout, each tick's changed rows put on the canvas.
//
// Built after emscripten's loader into one script (vesperine.js), so VesperineEngine is in scope.
// `?seed=N` fixes the random seed and `?paused` leaves the timer stopped (the tests step ticks
// through window.vesperine).
(() => {
  "use strict";
  const WIPE_PERIOD = 10;
  const COLOR_DIFFERENCE = 21;
  const CAPTION_HEIGHT = 30;  // the caption font's height on the saver's screen, in pixels

  const $ = (id) => document.getElementById(id);
  const canvas = $("screen");
  const context = canvas.getContext("2d", { willReadFrequently: true });
  const query = new URLSearchParams(location.search);
  const fixedSeed = query.has("seed") ? Number(query.get("seed")) >>> 0 : null;
  const sampleNames = document.body.dataset.textures.split(" ").filter(Boolean);

  let engine = null;
  let frame = null;  // the work canvas's RGBA mirror in the engine's memory
  let textures = []; // names, in the engine's order
  let timer = 0;
  let period = 0;
  let paused = query.has("paused");
  const status = { ready: false, ticks: 0, fills: 0, openedToReady: 0, openedToFirstFill: 0 };

  class PictureError extends Error {}

  function say(text, note = false) {
    $("message").textContent = text;
    $("message").className = note ? "note" : "";
  }

  function seed() {
    return fixedSeed ?? Math.floor(Date.now() / 1000) >>> 0;
  }

  function settings() {
    return { refresh: Number($("refresh").value) * 10, interval: Number($("speed").value) };
  }

  // ---- Pictures ------------------------------------------------------------------------------

  // The formats the saver reads, told by their first bytes as its decoder tells them.
  async function isSaverFormat(blob) {
    const head = new Uint8Array(await blob.slice(0, 8).arrayBuffer());
    const starts = (...bytes) => bytes.every((byte, i) => head[i] === byte);
    return starts(0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a) || starts(0xff, 0xd8, 0xff) ||
        starts(0x47, 0x49, 0x46, 0x38) || starts(0x42, 0x4d);
  }

  // Decodes `blob` as the file's own pixels (no colour management) into the engine's staging
  // rows. A texture must be a picture that the saver itself can read; a desktop screenshot may be
  // any picture that the browser decodes.
  async function stage(blob, name, forDesktop) {
    const unreadable = `"${name}" cannot be used: it is not a PNG, JPEG, GIF or BMP picture that this browser can read.`;
    if (!forDesktop && !(await isSaverFormat(blob))) throw new PictureError(unreadable);
    let bitmap;
    try {
      bitmap = await createImageBitmap(blob, { colorSpaceConversion: "none", premultiplyAlpha: "none" });
    } catch {
      throw new PictureError(unreadable);
    }
    const { width, height } = bitmap;
    const rows = engine._VesperineStaging(width, height, forDesktop ? 1 : 0);
    if (!rows) {
      bitmap.close();
      throw new PictureError(`"${name}" cannot be used: at ${width} x ${height} pixels it is too large.`);
    }
    const scratch = new OffscreenCanvas(width, height).getContext("2d", { willReadFrequently: true });
    scratch.drawImage(bitmap, 0, 0);
    bitmap.close();
    engine.HEAPU8.set(scratch.getImageData(0, 0, width, height).data, rows);
    return { width, height };
  }

  async function loadDesktop(blob, name) {
    const { width, height } = await stage(blob, name, true);
    const rows = engine._VesperineSetDesktop(width, height, seed());
    if (!rows) throw new PictureError(`"${name}" cannot be used: there is not enough memory for it.`);
    frame = rows;
    canvas.width = width;
    canvas.height = height;
    $("desktop-name").textContent = `${name}, ${width} x ${height}`;
    fit();
    show(0, height - 1);
    restartTimer(settings().interval);
  }

  async function addTexture(blob, name) {
    const { width, height } = await stage(blob, name, false);
    if (!engine._VesperineAddTexture(width, height)) {
      throw new PictureError(`"${name}" cannot be used: there is not enough memory for it.`);
    }
    textures.push(name);
  }

  // Adds every file that can be used and names, in one message, each one that cannot.
  async function addTextures(files) {
    const refused = [];
    for (const file of files) {
      try {
        await addTexture(file, file.name);
      } catch (error) {
        if (!(error instanceof PictureError)) throw error;
        refused.push(error.message);
      }
    }
    listTextures();
    say(refused.join(" "));
  }

  async function useDesktopFile(file) {
    try {
      await loadDesktop(file, file.name);
      say("");
    } catch (error) {
      if (!(error instanceof PictureError)) throw error;
      say(`${error.message} The desktop stays as it was.`);
    }
  }

  async function fetched(path) {
    const response = await fetch(path);
    if (!response.ok) throw new Error(`${path}: ${response.status}`);
    return response.blob();
  }

  async function useSampleTextures() {
    while (textures.length) removeTexture(0);
    for (const name of sampleNames) await addTexture(await fetched(`textures/${name}`), name);
    listTextures();
  }

  function removeTexture(index) {
    engine._VesperineRemoveTexture(index);
    textures.splice(index, 1);
  }

  function listTextures() {
    const list = $("texture-list");
    list.replaceChildren(...textures.map((name, index) => {
      const row = document.createElement("li");
      const label = document.createElement("span");
      label.textContent = name;
      const remove = document.createElement("button");
      remove.type = "button";
      remove.textContent = "Remove";
      remove.setAttribute("aria-label", `Remove ${name}`);
      remove.addEventListener("click", () => {
        removeTexture(index);
        listTextures();
        const next = list.querySelectorAll("button")[Math.min(index, textures.length - 1)];
        (next ?? $("texture-files")).focus();
      });
      row.append(label, remove);
      return row;
    }));
    if (!textures.length) say("No textures: add one to see the fills.", true);
  }

  // ---- The saver's screen ----------------------------------------------------------------------

  // Puts rows first to last of the engine's frame on the canvas.
  function show(first, last) {
    const { width, height } = canvas;
    const bytes = new Uint8ClampedArray(engine.HEAPU8.buffer, frame, width * height * 4);
    context.putImageData(new ImageData(bytes, width, height), 0, 0, 0, first, width, last - first + 1);
  }

  // Scales the canvas into the stage, keeping its proportions, and the caption with it.
  function fit() {
    const stageBox = $("stage").getBoundingClientRect();
    const scale = Math.min(stageBox.width / canvas.width, stageBox.height / canvas.height);
    $("frame").style.width = `${Math.floor(canvas.width * scale)}px`;
    $("frame").style.height = `${Math.floor(canvas.height * scale)}px`;
    // The saver's caption font is 30 pixels high and 15 wide, bold.
    $("caption").style.fontSize = `${CAPTION_HEIGHT * scale}px`;
  }

  function tick() {
    const outcome = new Int32Array(engine.HEAPU8.buffer, engine._VesperineTick(), 5);
    status.ticks++;
    if (outcome[2]) {
      show(outcome[3], outcome[4]);
      if (outcome[4] - outcome[3] + 1 === canvas.height && period !== WIPE_PERIOD) {
        status.fills++;
        if (!status.openedToFirstFill) status.openedToFirstFill = performance.now();
      }
    }
    if (outcome[0]) period = outcome[1];
  }

  function restartTimer(newPeriod) {
    period = newPeriod;
    clearTimeout(timer);
    if (paused) return;
    const run = () => {
      tick();
      timer = setTimeout(run, period);
    };
    timer = setTimeout(run, period);
  }

  function restart() {
    frame = engine._VesperineRestart(seed());
    show(0, canvas.height - 1);
    restartTimer(settings().interval);
  }

  function applySettings() {
    const { refresh, interval } = settings();
    $("refresh-value").textContent = `${refresh / 1000} s of filling`;
    $("speed-value").textContent = `a fill every ${interval / 1000} s`;
    engine._VesperineSettings(refresh, interval, COLOR_DIFFERENCE);
    // The fill timer takes the new period at once; a wipe runs on at its own pace.
    if (period !== WIPE_PERIOD) restartTimer(interval);
  }

  // ---- Wiring ----------------------------------------------------------------------------------

  function dropTarget(element, take) {
    element.addEventListener("dragover", (event) => {
      event.preventDefault();
      element.classList.add("dragging");
    });
    element.addEventListener("dragleave", () => element.classList.remove("dragging"));
    element.addEventListener("drop", (event) => {
      event.preventDefault();
      element.classList.remove("dragging");
      const files = [...event.dataTransfer.files];
      if (files.length) take(files);
    });
  }

  function wire() {
    // A picture dropped beside the targets must not replace the page.
    window.addEventListener("dragover", (event) => event.preventDefault());
    window.addEventListener("drop", (event) => event.preventDefault());
    dropTarget($("stage"), (files) => useDesktopFile(files[0]));
    dropTarget($("textures"), addTextures);
    $("desktop-file").addEventListener("change", (event) => {
      if (event.target.files.length) useDesktopFile(event.target.files[0]);
      event.target.value = "";
    });
    $("texture-files").addEventListener("change", async (event) => {
      await addTextures([...event.target.files]);
      event.target.value = "";
    });
    $("builtin-desktop").addEventListener("click", async () => {
      await loadDesktop(await fetched("desktop.png"), "Built-in desktop");
      say("");
    });
    $("sample-textures").addEventListener("click", async () => {
      await useSampleTextures();
      say("");
    });
    $("refresh").addEventListener("input", applySettings);
    $("speed").addEventListener("input", applySettings);
    $("restart").addEventListener("click", restart);
    $("fullscreen").addEventListener("click", () => $("stage").requestFullscreen());
    document.addEventListener("fullscreenchange", fit);
    window.addEventListener("resize", fit);
  }

  // What the tests and the benchmark drive.
  window.vesperine = {
    status,
    tick(count = 1) {
      for (let i = 0; i < count; i++) tick();
    },
    pause() {
      paused = true;
      clearTimeout(timer);
    },
    restart,
    textures: () => [...textures],
  };

  async function start() {
    engine = await VesperineEngine();
    wire();
    applySettings();
    await useSampleTextures();
    await loadDesktop(await fetched("desktop.png"), "Built-in desktop");
    status.openedToReady = performance.now();
    status.ready = true;
  }

  start().catch((error) => say(`The page could not start: ${error.message}`));
})();
