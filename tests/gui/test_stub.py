"""The stub's window on archives made by the packer: where the views stand,
the folder pictures, the languages, an empty archive, the bare stub and a
damaged archive."""


from harness import REPO, wait_until, with_entry_name


def test_sample_window_tree_pictures_and_table_switch(wine, sample_exe, out):
    wine.start(sample_exe)
    window = wine.window("Kestrum")
    wine.screenshot(out / "sample.png")
    assert window.state("file_tree")[:2] == (True, "60,136,540,404")
    assert not window.shown("file_list")
    # The folder pictures follow the folders' state however it changes:
    # clicks on a picture (every time, the root's too) and the arrow keys.
    states = []
    for step in (1, 1, 2, 2, "Left", "Right"):
        before = [item[:2] for item in window.tree()[:2]]
        if isinstance(step, str):
            wine.xdotool("key", step)
        else:
            x, y = window.tree()[step - 1][2]
            wine.xdotool("mousemove", x, y, "click", 1)
        wait_until(lambda: [item[:2] for item in window.tree()[:2]] != before, 5,
                   f"the tree did not change after {step}")
        states.append([item[:2] for item in window.tree()[:2]])
    closed, opened = (False, 0), (True, 1)
    assert states == [[closed], [opened, closed], [opened, opened], [opened, closed], [closed],
                      [opened, closed]]
    window.click("view_table")
    wait_until(lambda: window.shown("file_list"), 5, "the table is not shown")
    assert not window.shown("file_tree")
    assert window.rect("file_list") == "60,136,540,404"


def test_a_description_moves_the_views_down(wine, pack, out):
    wine.start(pack(REPO / "sample", out / "described.exe", "--description", "[* Bold] words"))
    window = wine.window("Kestrum")
    assert window.rect("file_tree") == "60,220,540,404"
    assert window.shown("lb_desc")


def test_languages_of_the_archive_the_list_and_the_system(wine, pack, sample_exe, out):
    wine.start(pack(REPO / "sample", out / "german.exe", "--language", "deDE"))
    window = wine.window("Kestrum")
    assert (window.text("lb_lang"), window.text("bt_cancel"), window.text("language")) == \
        ("Sprache:", "Abbrechen", "Deutsch (German)")
    # Picking the shown language again runs the language change all the same.
    window.settext("lb_lang", "stale")
    x, y = window.point("language")
    wine.xdotool("mousemove", x, y, "click", 1)
    wait_until(lambda: window.dropped("language"), 5, "the language list did not open")
    wine.xdotool("key", "Return")
    wait_until(lambda: window.text("lb_lang") == "Sprache:", 5, "the re-pick did not re-apply")
    window.select("language", 6)  # Kazakh
    wait_until(lambda: window.text("lb_lang") == "Тіл:", 5, "Kazakh did not switch")
    assert window.text("view_table") == "Кесте"
    wine.stop()
    # An archive without a language follows the system's.
    for lang, shown in (("de_DE.UTF-8", "Deutsch (German)"), ("pt_BR.UTF-8", "English (English)")):
        wine.start(sample_exe, lang=lang)
        assert wine.window("Kestrum").text("language") == shown, lang
        wine.stop()


def test_an_empty_archive_shows_its_root_open(wine, pack, out):
    (out / "nothing").mkdir()
    wine.start(pack(out / "nothing", out / "empty.exe", "--name", "Nothing inside"))
    items = wine.window("Kestrum").tree()
    assert [(item[0], item[1], item[3]) for item in items] == [(True, 1, "Nothing inside")]


def test_the_bare_stub_ends_silently(wine, target, out):
    bare = out / "bare.exe"
    bare.write_bytes((out.parent / target / "bin" / "kestrum-sfx.exe").read_bytes())
    wine.start(bare)
    assert wine.wait_exit(30) is not None, "the bare stub did not end"
    assert wine.visible_windows() == []


def test_a_damaged_archive_says_so_in_the_systems_language_and_ends(wine, sample_exe, out):
    damaged = with_entry_name(sample_exe, out / "damaged.exe", b"..\\")
    wine.start(damaged, lang="de_DE.UTF-8")
    message = wine.window("Kestrum Vondrel")
    wine.screenshot(out / "damaged.png")
    assert any("Das Archiv ist beschädigt." in text for _, _, text in message.controls().values())
    wine.xdotool("key", "--window", message.wid, "Return")
    assert wine.wait_exit(20) is not None, "the program did not end after the message"
