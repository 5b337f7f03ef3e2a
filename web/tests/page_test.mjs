// The page in a real browser: one scenario per run, named on the command line.
//
//   node page_test.mjs loads|same_pixels|dropped_pictures|wipe|not_a_picture SITE [RENDER_TOOL]
//   node page_test.mjs screenshot SITE OUT.png
//
// SITE is the web tree's site folder, served over HTTP. same_pixels compares the canvas with the
// pictures that RENDER_TOOL (vesperine-render of the native tree) writes for the same ticks.
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import { openBrowser } from "./browser.mjs";

const [scenario, site, extra] = process.argv.slice(2);

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function ready(page) {
  await page.waitForFunction(() => window.vesperine?.status.ready, null, { timeout: 30000 });
}

// Sets a slider as a user would, so that the page's input handler runs.
async function slide(page, id, value) {
  await page.$eval(`#${id}`, (slider, value) => {
    slider.value = value;
    slider.dispatchEvent(new Event("input"));
  }, value);
}

// The canvas against a PNG (bytes), pixel by pixel: the number of pixels that differ and the first.
async function compareWithPng(page, png) {
  return page.evaluate(async (base64) => {
    const bytes = Uint8Array.from(atob(base64), (c) => c.charCodeAt(0));
    const bitmap = await createImageBitmap(new Blob([bytes]), { colorSpaceConversion: "none" });
    const canvas = document.getElementById("screen");
    if (bitmap.width !== canvas.width || bitmap.height !== canvas.height) {
      return { sizes: `${bitmap.width}x${bitmap.height} against ${canvas.width}x${canvas.height}` };
    }
    const scratch = new OffscreenCanvas(bitmap.width, bitmap.height).getContext("2d");
    scratch.drawImage(bitmap, 0, 0);
    const want = scratch.getImageData(0, 0, bitmap.width, bitmap.height).data;
    const have = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    let differing = 0;
    let first = null;
    for (let i = 0; i < want.length; i += 4) {
      if (want[i] !== have[i] || want[i + 1] !== have[i + 1] || want[i + 2] !== have[i + 2]) {
        if (!first) first = { x: (i / 4) % canvas.width, y: Math.floor(i / 4 / canvas.width) };
        differing++;
      }
    }
    return { differing, first };
  }, png.toString("base64"));
}

function expectSame(result, what) {
  check(!result.sizes, `${what}: sizes differ, ${result.sizes}`);
  check(result.differing === 0,
        `${what}: ${result.differing} pixels differ, the first at (${result.first?.x}, ${result.first?.y})`);
}

// Drops files made in the page (solid pictures, or text) on the element `target`.
async function drop(page, target, files) {
  await page.evaluate(async ({ target, files }) => {
    const transfer = new DataTransfer();
    for (const file of files) {
      let blob = new Blob([file.text ?? ""], { type: "text/plain" });
      if (file.color) {
        const picture = new OffscreenCanvas(file.width, file.height);
        const context = picture.getContext("2d");
        context.fillStyle = file.color;
        context.fillRect(0, 0, file.width, file.height);
        blob = await picture.convertToBlob({ type: "image/png" });
      }
      transfer.items.add(new File([blob], file.name, { type: blob.type }));
    }
    document.getElementById(target).dispatchEvent(
        new DragEvent("drop", { dataTransfer: transfer, bubbles: true, cancelable: true }));
  }, { target, files });
}

async function canvasColors(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById("screen");
    const data = canvas.getContext("2d").getImageData(0, 0, canvas.width, canvas.height).data;
    const seen = new Set();
    for (let i = 0; i < data.length; i += 4) seen.add((data[i] << 16) | (data[i + 1] << 8) | data[i + 2]);
    return [...seen].map((color) => `#${color.toString(16).padStart(6, "0")}`);
  });
}

const scenarios = {
  // Opens as a visitor would, runs by its own timer, and reports nothing on the console.
  async loads(browser) {
    const page = await browser.page("");
    await ready(page);
    // The fastest filling, set from the keyboard alone.
    await page.focus("#speed");
    await page.keyboard.press("Home");
    check(await page.$eval("#speed", (slider) => slider.value) === "50", "Home did not move the slider");
    await page.waitForFunction(() => window.vesperine.status.fills >= 2, null, { timeout: 10000 });
    check(await page.textContent("#message") === "", "a message on a clean start");
  },

  // The canvas equals vesperine-render's picture after the same ticks: fills, part of the wipe,
  // and fills of the next cycle.
  async same_pixels(browser) {
    check(extra, "same_pixels needs the path of vesperine-render");
    const page = await browser.page("index.html?seed=11&paused");
    await ready(page);
    await slide(page, "refresh", 500);
    await slide(page, "speed", 500);
    // JPEG decoders may differ by a level here and there (the browser's against stb's): the
    // lossless textures alone, so that every pixel must agree.
    await page.click('button[aria-label="Remove dusk_waves.jpg"]');
    const textures = await page.evaluate(() => window.vesperine.textures());
    check(textures.length === 4 && !textures.some((name) => name.endsWith(".jpg")), "JPEG not removed");
    const work = mkdtempSync(join(tmpdir(), "vesperine-web-"));
    try {
      let done = 0;
      for (const ticks of [10, 111, 380]) {
        await page.evaluate((count) => window.vesperine.tick(count), ticks - done);
        done = ticks;
        const out = join(work, `ticks-${ticks}.png`);
        execFileSync(extra, [
          "run", "--desktop", join(site, "desktop.png"),
          ...textures.flatMap((name) => ["--texture", join(site, "textures", name)]),
          "--seed", "11", "--ticks", String(ticks), "--refresh-ms", "5000", "--interval-ms", "500",
          "--out", out,
        ]);
        expectSame(await compareWithPng(page, readFileSync(out)), `after ${ticks} ticks`);
      }
    } finally {
      rmSync(work, { recursive: true, force: true });
    }
  },

  // A dropped desktop becomes the canvas; a dropped texture, alone in the list, fills it.
  async dropped_pictures(browser) {
    const page = await browser.page("index.html?seed=3&paused");
    await ready(page);
    await drop(page, "stage", [{ name: "desk.png", color: "#336699", width: 320, height: 200 }]);
    await page.waitForFunction(() => document.getElementById("screen").width === 320);
    check((await canvasColors(page)).join() === "#336699", "the dropped desktop is not shown");

    while (await page.$("#texture-list button")) await page.click("#texture-list button");
    await drop(page, "textures", [{ name: "red.png", color: "#e01010", width: 8, height: 8 }]);
    await page.waitForFunction(() => window.vesperine.textures().join() === "red.png");
    await page.evaluate(() => window.vesperine.tick());
    check((await canvasColors(page)).join() === "#e01010", "the dropped texture did not fill the desktop");
  },

  // One fill, then the wipe: afterwards the canvas is the desktop again, row for row.
  async wipe(browser) {
    const page = await browser.page("index.html?seed=5&paused");
    await ready(page);
    await slide(page, "refresh", 500);
    await slide(page, "speed", 5000);
    await page.evaluate(() => window.vesperine.tick());
    const filled = await compareWithPng(page, readFileSync(join(site, "desktop.png")));
    check(filled.differing > 0, "the fill changed nothing");
    const height = await page.$eval("#screen", (canvas) => canvas.height);
    await page.evaluate((count) => window.vesperine.tick(count), 1 + height / 2);
    expectSame(await compareWithPng(page, readFileSync(join(site, "desktop.png"))), "after the wipe");
  },

  // Files that are not pictures are named in a message and change nothing.
  async not_a_picture(browser) {
    const page = await browser.page("index.html?paused");
    await ready(page);
    const before = await page.evaluate(() => window.vesperine.textures());
    await page.setInputFiles("#texture-files", { name: "notes.txt", mimeType: "text/plain", buffer: Buffer.from("hello") });
    await page.waitForFunction(() => document.getElementById("message").textContent !== "");
    const message = await page.textContent("#message");
    check(/"notes\.txt" cannot be used/.test(message), `unexpected message: ${message}`);
    check((await page.evaluate(() => window.vesperine.textures())).join() === before.join(), "the list changed");

    await drop(page, "stage", [{ name: "desktop.bmp", text: "BM not really" }]);
    await page.waitForFunction(() => /desktop\.bmp/.test(document.getElementById("message").textContent));
    check(await page.$eval("#screen", (canvas) => canvas.width) === 1280, "the desktop changed");
  },

  // docs/web-page.png: the page a few fills into its cycle.
  async screenshot(browser) {
    const page = await browser.page("index.html?seed=11&paused", { width: 1000, height: 760 });
    await ready(page);
    await page.evaluate(() => window.vesperine.tick(6));
    await page.screenshot({ path: extra, fullPage: true });
  },
};

const run = scenarios[scenario];
if (!run || !site) {
  console.error(`usage: page_test.mjs ${Object.keys(scenarios).join("|")} SITE [RENDER_TOOL|OUT.png]`);
  process.exit(2);
}
const browser = await openBrowser(site);
try {
  await run(browser);
  check(browser.errors.length === 0, `console errors: ${browser.errors.join(" | ")}`);
  console.log(`${scenario}: passed`);
} catch (error) {
  console.error(`${scenario}: FAILED: ${error.message}`);
  process.exitCode = 1;
} finally {
  await browser.close();
}
