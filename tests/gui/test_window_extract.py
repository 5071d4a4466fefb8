"""Extraction from the window, the way a person does it: Enter, the overwrite
question, Cancel with both answers, a damaged archive, Ctrl+I and Browse."""

import filecmp
import os

from harness import REPO, fresh_dir, wait_until, with_last_byte_flipped


def same_tree(a, b):
    compared = filecmp.dircmp(a, b)
    if compared.left_only or compared.right_only or compared.diff_files or compared.funny_files:
        return False
    return all(same_tree(os.path.join(a, d), os.path.join(b, d)) for d in compared.common_dirs)


def finished(window):
    return window.shown("bt_catalog")


def test_enter_extracts_the_sample_byte_for_byte(wine, sample_exe, out):
    into = fresh_dir(out / "one")
    wine.start(sample_exe, cwd=into)
    window = wine.window("Kestrum")
    window.focus()
    wine.xdotool("key", "Return")  # the Extract button has the focus
    wait_until(lambda: finished(window), 60, "no finished view after Enter")
    wine.screenshot(out / "finished.png")
    assert same_tree(REPO / "sample", into)


def test_overwrite_question_refuses_an_existing_new_name_and_replaces(wine, pack, out):
    source = fresh_dir(out / "src2")
    (source / "a.txt").write_text("archive a\n")
    (source / "b.txt").write_text("archive b\n")
    archive = pack(source, out / "two.exe")
    into = fresh_dir(out / "two")
    (into / "a.txt").write_text("my a\n")
    (into / "b.txt").write_text("my b\n")
    wine.start(archive, cwd=into)
    window = wine.window("Kestrum")
    window.click("bt_extract")
    question = wine.window("File already exist", 30)
    wine.screenshot(out / "overwrite.png")
    question.settext(11, "b.txt")  # a new name that exists too
    question.click(1)
    # The same question stays, its hint naming the refused name.
    wait_until(lambda: "b.txt already exists" in question.text(10), 10,
               "the existing name b.txt was accepted")
    assert wine.window("File already exist").wid == question.wid
    assert (into / "a.txt").read_text() == "my a\n"
    wine.screenshot(out / "overwrite-refused.png")
    question.settext(11, "c.txt")
    question.click(1)
    # The second question, for b.txt: Rewrite.
    second = wine.window("File already exist", 30)
    wait_until(lambda: (into / "c.txt").exists(), 30, "c.txt was not written")
    second.click(2)
    wait_until(lambda: finished(window), 30, "no finished view after the answers")
    assert (into / "a.txt").read_text() == "my a\n"
    assert (into / "c.txt").read_text() == "archive a\n"
    assert (into / "b.txt").read_text() == "archive b\n"


def test_cancel_goes_on_and_close_stops_leaving_no_temporary_file(wine, pack, out):
    # Many small files keep the worker busy for a while under Wine.
    source = fresh_dir(out / "src3")
    for d in range(40):
        (source / f"d{d}").mkdir()
        for f in range(1000):
            (source / f"d{d}" / f"f{f}.txt").write_text(f"file {d} {f}\n" * 40)
    archive = pack(source, out / "big.exe")
    into = fresh_dir(out / "three")
    wine.start(archive, cwd=into)
    window = wine.window("Kestrum")
    window.click("bt_extract")
    wait_until(lambda: window.shown("indicator") and any(into.iterdir()), 30,
               "extraction did not start")
    wine.screenshot(out / "progress.png")
    window.click("bt_cancel")
    question = wine.window("Kestrum Vondrel", 20)
    wine.screenshot(out / "break-question.png")
    question.click(1000)  # Cancel: go on
    wait_until(lambda: not question.exists(), 10, "the question stayed open")
    assert window.exists(), "the window went away"
    window.click("bt_cancel")
    wine.window("Kestrum Vondrel", 20).click(8)  # Close: stop
    assert wine.wait_exit(60) is not None, "the program did not end after Close"
    written = sum(len(files) for _, _, files in os.walk(into))
    assert written < 40000
    assert not [f for _, _, files in os.walk(into) for f in files if f.startswith(".kestrum-")]
    (out / "big.exe").unlink()


def test_a_damaged_archive_says_very_fail_and_leaves_no_damaged_file(wine, pack, out):
    source = fresh_dir(out / "src4")
    (source / "a.txt").write_text("archive a\n")
    (source / "b.txt").write_text("archive b\n")
    damaged = with_last_byte_flipped(pack(source, out / "four.exe"), out / "damaged.exe")
    into = fresh_dir(out / "four")
    wine.start(damaged, cwd=into)
    window = wine.window("Kestrum")
    window.click("bt_extract")
    message = wine.window("Kestrum Vondrel", 30)
    wine.screenshot(out / "very-fail.png")
    message.click(8)
    wait_until(lambda: not message.exists(), 10, "the message stayed open")
    wine.screenshot(out / "after-fail.png")  # the views stay, without pieces of the logo
    assert window.exists() and not finished(window)
    assert (into / "a.txt").read_text() == "archive a\n"
    assert not (into / "b.txt").exists()


def test_ctrl_i_opens_the_about_dialog(wine, sample_exe, out):
    wine.start(sample_exe)
    window = wine.window("Kestrum")
    window.focus()
    window.key("ctrl+i")
    wine.window("Kestrum ", 20)
    wine.screenshot(out / "about.png")


def test_browse_puts_the_chosen_folder_into_the_path(wine, sample_exe, out):
    # Wine's browser does not always honour the folder it is asked to
    # preselect, so the round trip is checked, not the folder.
    wine.start(sample_exe, cwd=fresh_dir(out / "six" / "chosen"))
    window = wine.window("Kestrum")
    window.settext("dir_path", "Z:\\nowhere")
    window.click("bt_browse")
    browser = wine.window("Browse for Folder", 20)
    wine.screenshot(out / "browse.png")
    browser.click(1)
    path = wait_until(lambda: (lambda p: p if p != "Z:\\nowhere" else "")(window.text("dir_path")),
                      10, "OK did not change the path field")
    assert path.startswith("Z:"), path
