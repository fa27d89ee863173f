#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Reads the benchmark programs' JSON results and prints the table of ratios (Markdown)."""
import json
import os
import re
import sys

SIZES = ["400x120", "1920x1080", "3840x2160"]


def load(folder, program):
    """Benchmark name -> its entry: the median of the repetitions, or the one run."""
    path = os.path.join(folder, program + ".json")
    with open(path) as handle:
        entries = json.load(handle)["benchmarks"]
    runs = {}
    for entry in entries:
        name = re.sub(r"/(manual_time|iterations:\d+)", "", entry.get("run_name", entry["name"]))
        if entry.get("error_occurred"):
            runs[name] = None
        elif entry.get("run_type") == "aggregate":
            if entry.get("aggregate_name") == "median":
                runs[name] = entry
        else:
            runs.setdefault(name, entry)
    return runs


def ms(entry):
    """The entry's time in milliseconds."""
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}[entry.get("time_unit", "ns")]
    return entry["real_time"] * scale


def row(cells):
    return "| " + " | ".join(cells) + " |"


def verdict(value, limit, below=True):
    met = value <= limit if below else value >= limit
    return "met" if met else "**missed**"


def speedup_table(runs, name, what):
    """The table of `name`/jobs1 against `name`/jobs2, target 1.8x; none without both."""
    one = runs.get(f"{name}/jobs1")
    two = runs.get(f"{name}/jobs2")
    if one is None or two is None:
        return []
    speedup = ms(one) / ms(two)
    return [f"{what}, target >= 1.8x faster at 2 jobs:", "",
            row(["1 job ms", "2 jobs ms", "speed-up", "target"]), row(["---"] * 4),
            row([f"{ms(one):.0f}", f"{ms(two):.0f}", f"{speedup:.2f}x",
                 verdict(speedup, 1.8, below=False)]), ""]


def main(folder):
    frame = load(folder, "frame_bench")
    transform = load(folder, "transform_bench")
    outline = load(folder, "outline_bench")
    memory = load(folder, "memory_bench")
    sequence = load(folder, "sequence_bench")
    footage = load(folder, "footage_bench")
    captions = load(folder, "caption_blend_bench")
    burn_in = load(folder, "burn_in_bench")
    lines = []

    lines.append("Plug-in's own work per frame (render command less the host's transform_world and "
                 "transfer_rect) against bare cairo drawing the same shapes, target <= 2.0x; of "
                 "it, the time inside the host's world services and iterate, and the rest:")
    lines.append("")
    lines.append(row(["box", "border", "matrices", "plug-in ms", "cairo ms", "ratio",
                      "new/fill/dispose ms", "iterate ms", "rest ms", "rest ratio",
                      "memset ms", "memcpy ms", "target"]))
    lines.append(row(["---"] * 13))
    for size in SIZES:
        for border in ("plain", "border"):
            for matrices in ("1", "2"):
                plugin = frame.get(f"plugin/{size}/{border}/{matrices}")
                cairo = frame.get(f"cairo/{size}/{'fill+stroke' if border == 'border' else 'fill'}")
                if plugin is None or cairo is None:
                    continue
                ratio = ms(plugin) / ms(cairo)
                worlds = plugin.get("worlds_ms", 0.0)
                iterate = plugin.get("iterate_ms", 0.0)
                own = ms(plugin) - worlds - iterate
                lines.append(row([size, "on" if border == "border" else "off", matrices,
                                  f"{ms(plugin):.3f}", f"{ms(cairo):.3f}", f"{ratio:.2f}x",
                                  f"{worlds:.3f}", f"{iterate:.3f}", f"{own:.3f}",
                                  f"{own / ms(cairo):.2f}x",
                                  f"{ms(frame[f'memset/{size}']):.3f}",
                                  f"{ms(frame[f'memcpy/{size}']):.3f}", verdict(ratio, 2.0)]))
    lines.append("")

    lines.append("World copy (CopySurfaceToWorld) against memcpy of the same bytes, target <= 1.5x:")
    lines.append("")
    lines.append(row(["box", "CopySurfaceToWorld ms", "memcpy ms", "ratio", "target"]))
    lines.append(row(["---"] * 5))
    for size in SIZES:
        copy = frame.get(f"copy_surface/{size}")
        plain = frame.get(f"copy_surface_memcpy/{size}")
        if copy is None or plain is None:
            continue
        ratio = ms(copy) / ms(plain)
        lines.append(row([size, f"{ms(copy):.3f}", f"{ms(plain):.3f}", f"{ratio:.2f}x",
                          verdict(ratio, 1.5)]))
    lines.append("")

    lines.append("Host's transform_world against pixman's own transform and composite, target "
                 "<= 1.25x for one matrix (two: motion blur, for information):")
    lines.append("")
    lines.append(row(["size", "matrices", "host ms", "pixman ms", "ratio", "target"]))
    lines.append(row(["---"] * 6))
    for size in SIZES:
        for matrices in ("1", "2"):
            host = transform.get(f"host_transform/{size}/{matrices}")
            pixman = transform.get(f"pixman_transform/{size}/{matrices}")
            if host is None or pixman is None:
                continue
            ratio = ms(host) / ms(pixman)
            lines.append(row([size, matrices, f"{ms(host):.3f}", f"{ms(pixman):.3f}",
                              f"{ratio:.2f}x", verdict(ratio, 1.25) if matrices == "1" else "-"]))
    lines.append("")

    lines.append("Outline walk against the number of vertices, target: time per vertex within "
                 "1.5x between the smallest and the largest text:")
    lines.append("")
    lines.append(row(["text", "vertices", "walk us", "ns per vertex"]))
    lines.append(row(["---"] * 4))
    per_vertex = []
    for text in ("word", "paragraph", "page"):
        entry = outline.get(f"outline_walk/{text}")
        if entry is None:
            continue
        vertices = entry["vertices"]
        nanoseconds = ms(entry) * 1e6 / vertices
        per_vertex.append(nanoseconds)
        lines.append(row([text, f"{vertices:.0f}", f"{ms(entry) * 1e3:.1f}",
                          f"{nanoseconds:.2f}"]))
    if len(per_vertex) >= 2:
        spread = max(per_vertex[0], per_vertex[-1]) / min(per_vertex[0], per_vertex[-1])
        lines.append("")
        lines.append(f"Smallest to largest text, time per vertex: {spread:.2f}x "
                     f"({verdict(spread, 1.5)}).")
    lines.append("")

    lines += speedup_table(sequence, "sequence",
                           "A sequence (scenes/motion.json, 24 frames of 1280x720 with motion "
                           "blur) through quorvel-render")

    versus = [(extension, sequence.get(f"versus_ffmpeg/quorvel/{extension}"),
               sequence.get(f"versus_ffmpeg/ffmpeg/{extension}")) for extension in ("png", "mov")]
    if all(ours is not None and theirs is not None for _, ours, theirs in versus):
        lines.append("150 frames of 1920x1080 (bench/scenes/versus_ffmpeg.json: a line of DejaVu "
                     "Sans Bold 96 px moving across a box of 24 px padding) through quorvel-render "
                     "at 2 jobs against ffmpeg's drawtext box, target: frames per second at least "
                     "ffmpeg's for PNG, at least 0.9 of it for ProRes 4444:")
        lines.append("")
        lines.append(row(["output", "quorvel-render s", "fps", "ffmpeg s", "fps", "ratio",
                          "target"]))
        lines.append(row(["---"] * 7))
        for extension, ours, theirs in versus:
            ratio = ms(theirs) / ms(ours)
            limit = 1.0 if extension == "png" else 0.9
            lines.append(row([extension, f"{ms(ours) / 1000:.2f}", f"{150000 / ms(ours):.1f}",
                              f"{ms(theirs) / 1000:.2f}", f"{150000 / ms(theirs):.1f}",
                              f"{ratio:.2f}", verdict(ratio, limit, below=False)]))
        lines.append("")

    reader = footage.get("footage_1080p_h264/reader")
    decode = footage.get("footage_1080p_h264/ffmpeg_decode")
    fast = footage.get("footage_1080p_h264/ffmpeg_decode_fast_argb")
    if reader is not None and decode is not None and fast is not None:
        lines.append("90 frames of 1920x1080 H.264 read in order on one thread: the footage reader "
                     "(decoding, exact conversion to ARGB) against FFmpeg's bare decoding, and "
                     "decoding with libswscale's fast conversion to ARGB:")
        lines.append("")
        lines.append(row(["footage reader fps", "ffmpeg decode fps", "ratio",
                          "ffmpeg decode + fast ARGB fps", "ratio"]))
        lines.append(row(["---"] * 5))
        lines.append(row([f"{90000 / ms(reader):.1f}", f"{90000 / ms(decode):.1f}",
                          f"{ms(decode) / ms(reader):.2f}", f"{90000 / ms(fast):.1f}",
                          f"{ms(fast) / ms(reader):.2f}"]))
        lines.append("")

    blend = captions.get("caption_1080p/blend_box")
    text = captions.get("caption_1080p/blend_text")
    shared = captions.get("caption_1080p/blend_box_shared_frame")
    to_argb = captions.get("caption_1080p/footage_to_argb_exact")
    to_yuv = captions.get("caption_1080p/writer_argb_to_yuv420p")
    if None not in (blend, text, shared, to_argb, to_yuv):
        lines.append("A 1000x120 caption burnt into 1920x1080 yuv420p footage, per frame: blended "
                     "into the decoded frame's planes (into a frame of its own, and into one the "
                     "decoder still holds, copied first), against the conversions the way through "
                     "RGB takes (the reader's exact conversion to ARGB, the writer's back):")
        lines.append("")
        lines.append(row(["blend box ms", "blend text ms", "copy + blend box ms",
                          "footage to ARGB ms", "writer to yuv420p ms", "saved ms"]))
        lines.append(row(["---"] * 6))
        saved = ms(to_argb) + ms(to_yuv) - ms(shared)
        lines.append(row([f"{ms(blend):.3f}", f"{ms(text):.3f}", f"{ms(shared):.3f}",
                          f"{ms(to_argb):.3f}", f"{ms(to_yuv):.3f}", f"{saved:.3f}"]))
        lines.append("")

    ours = burn_in.get("burn_in/quorvel")
    libass = burn_in.get("burn_in/ffmpeg_libass")
    plain = burn_in.get("burn_in/ffmpeg_plain")
    if None not in (ours, libass, plain):
        lines.append("30 captions burnt into 60 s of 1920x1080 at 30 fps (H.264 with AAC sound, made "
                     "from ffmpeg's test sources), to H.264 veryfast crf 18 with the sound copied: "
                     "quorvel-render captions --over against ffmpeg drawing the cues with libass "
                     "and against ffmpeg re-encoding the clip alone, targets: at least 1.0x "
                     "libass's frames per second, at least 0.9x the re-encode's:")
        lines.append("")
        lines.append(row(["command", "s", "fps", "quorvel-render's ratio", "target"]))
        lines.append(row(["---"] * 5))
        lines.append(row(["quorvel-render captions --over", f"{ms(ours) / 1000:.1f}",
                          f"{1800000 / ms(ours):.1f}", "", ""]))
        for name, entry, limit in (("ffmpeg -vf subtitles (libass)", libass, 1.0),
                                   ("ffmpeg re-encode alone", plain, 0.9)):
            ratio = ms(entry) / ms(ours)
            lines.append(row([name, f"{ms(entry) / 1000:.1f}", f"{1800000 / ms(entry):.1f}",
                              f"{ratio:.2f}x", verdict(ratio, limit, below=False)]))
        lines.append("")
    words = [(output, burn_in.get(f"words/{output}/plain"), burn_in.get(f"words/{output}/highlight"))
             for output in ("over_clip", "track_mov")]
    if all(plain is not None and lit is not None for _, plain, lit in words):
        lines.append("A word-timed caption track (60 s of speech, words of 0.25 s; the built-in "
                     "word_pill style, travel 0.12 s) against the same style without its "
                     "highlight: burnt into the 60 s clip (H.264 veryfast crf 18), and alone as "
                     "ProRes 4444 (its first 300 frames), target <= 1.3x:")
        lines.append("")
        lines.append(row(["output", "without highlight s", "with highlight s", "ratio", "target"]))
        lines.append(row(["---"] * 5))
        for output, plain, lit in words:
            ratio = ms(lit) / ms(plain)
            shown = "over the clip, .mp4" if output == "over_clip" else "track alone, .mov"
            lines.append(row([shown, f"{ms(plain) / 1000:.1f}", f"{ms(lit) / 1000:.1f}",
                              f"{ratio:.2f}x", verdict(ratio, 1.3)]))
        lines.append("")
    lines += speedup_table(burn_in, "footage_render",
                           "A footage render composited in RGB (scenes/lower_third_over_clip.json, "
                           "180 frames of 1280x720 to PNGs)")

    lines.append("Peak memory of a 4K frame render against the worlds it needs (input, output, "
                 "fill and border world), target <= 1.10x:")
    lines.append("")
    lines.append(row(["border", "matrices", "worlds MiB", "peak resident MiB", "ratio",
                      "peak heap MiB", "ratio", "target (resident)"]))
    lines.append(row(["---"] * 8))
    for border in ("plain", "border"):
        for matrices in ("1", "2"):
            entry = memory.get(f"peak_memory/3840x2160/{border}/{matrices}")
            if entry is None:
                continue
            lines.append(row(["on" if border == "border" else "off", matrices,
                              f"{entry['worlds_MiB']:.1f}", f"{entry['resident_MiB']:.1f}",
                              f"{entry['resident_ratio']:.2f}x", f"{entry['heap_MiB']:.1f}",
                              f"{entry['heap_ratio']:.2f}x",
                              verdict(entry["resident_ratio"], 1.10)]))
    print("\n".join(lines))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else ".")
