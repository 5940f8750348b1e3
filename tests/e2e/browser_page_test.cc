// The HTML page of a survey in two folders (the sample photos, one of them
// renamed into the second folder, and a flight log copied from the card) in
// a real browser: headless Chromium (Debian's chromium package) loads it
// from the file, and the DOM it builds holds the flagged table before the
// map, by path, one dot per photo with a position, and the browser's
// language (Chinese where it is not English); a click on a dot shows its
// details and one on a row lights its dot. It also takes screenshots at
// 1366x900 and 390x844 (sample-page.png and sample-page-phone.png beside
// the built photocheck); the pictures the README shows are those of a
// survey flight, made by scripts/sample-pages.sh. Skips with a message
// where Chromium is not installed or cannot start.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "page/page_text.h"
#include "tests/e2e/photo_set.h"
#include "tests/support/count_of.h"
#include "tests/support/run_tool.h"
#include "tests/support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

const fs::path kCheckout = PHOTOCHECK_SOURCE_DIR;
const char kChromium[] = "/usr/bin/chromium";
const char kTimeout[] = "/usr/bin/timeout";

// Chromium headless with a profile of its own and the language `language`,
// at most a minute.
ToolRun runChromium(const TempFolder& root, const std::string& size, const std::string& language,
                    const std::string& option, const std::string& page) {
  return runTool(kTimeout, {"60", kChromium, "--headless", "--no-sandbox", "--disable-gpu",
                            "--hide-scrollbars", "--force-device-scale-factor=1",
                            "--user-data-dir=" + (root / "profile"), "--accept-lang=" + language,
                            "--window-size=" + size, option, "file://" + page});
}

// flight1: DJI_0001-0005; flight2: DJI_0006-0010, a second DJI_0003.JPG and
// DJI_FLIGHT.MRK (not a JPEG).
void writeTwoFolderSurvey(const fs::path& root) {
  const fs::path images = kCheckout / "examples" / "images";
  for (int k = 1; k <= 10; ++k) {
    const std::string name = (k < 10 ? "DJI_000" : "DJI_00") + std::to_string(k) + ".JPG";
    const fs::path folder = root / "survey" / (k <= 5 ? "flight1" : "flight2");
    fs::create_directories(folder);
    fs::copy_file(images / name, folder / name);
  }
  fs::copy_file(images / "DJI_0003.JPG", root / "survey" / "flight2" / "DJI_0003.JPG");
  writeFileBytes((root / "survey" / "flight2" / "DJI_FLIGHT.MRK").string(), "flight log\n");
  writeFileBytes((root / "survey.settings").string(),
                 "a = true\nb = true\nc = true\nd = true\ne = survey\nf = output\n");
}

// A copy of `page` that runs `script` once loaded, with click(n) (a click
// on element n) and clickDot(i) (a click where the map drew photo i's dot,
// on whatever element is there).
std::string withScript(const TempFolder& root, const std::string& page, const std::string& name,
                       const std::string& script) {
  std::string text = *readFileBytes(page);
  const std::string added =
      "<script>function click(n){n.dispatchEvent(new MouseEvent('click',{bubbles:true}))}"
      "function clickDot(i){var m=document.getElementById('m');m.scrollIntoView();"
      "var p=m.pointOf(i);document.elementFromPoint(p.x,p.y).dispatchEvent(new MouseEvent("
      "'click',{bubbles:true,clientX:p.x,clientY:p.y}))}"
      // The wheel 55 times into the map's centre, "Reset view", a drag of
      // the map 3000 pixels aside and "Reset view" again: the dots drawn
      // kept in data-zoomed, data-dragged and data-whole.
      "function zoomAndReset(){var m=document.getElementById('m'),b=m.getBoundingClientRect(),"
      "s=document.body;m.dispatchEvent(new WheelEvent('wheel',{deltaY:-2000,bubbles:true,"
      "cancelable:true,clientX:b.left+b.width/2,clientY:b.top+b.height/2}));"
      "s.setAttribute('data-zoomed',m.getAttribute('data-dots'));"
      "click(document.getElementById('reset'));"
      "function p(k,x){m.dispatchEvent(new PointerEvent(k,{pointerId:1,bubbles:true,"
      "clientX:b.left+x,clientY:b.top+9}))}p('pointerdown',9);p('pointermove',3009);"
      "p('pointerup',3009);s.setAttribute('data-dragged',m.getAttribute('data-dots'));"
      "click(document.getElementById('reset'));"
      "s.setAttribute('data-whole',m.getAttribute('data-dots'))}" +
      script + "</script></body>";
  text.replace(text.rfind("</body>"), 7, added);
  writeFileBytes(root / name, text);
  return root / name;
}

void expectScreenshot(const TempFolder& root, const std::string& size, const std::string& name,
                      const std::string& page) {
  const std::string screenshot = (fs::path(PHOTOCHECK_EXE).parent_path() / name).string();
  fs::remove(screenshot);
  const ToolRun shot = runChromium(root, size, "en-US", "--screenshot=" + screenshot, page);
  EXPECT_EQ(shot.status, 0) << shot.err;
  const std::optional<std::string> png = readFileBytes(screenshot);
  ASSERT_TRUE(png.has_value()) << "no screenshot at " << screenshot;
  EXPECT_EQ(png->substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
}

TEST(BrowserPage, ChromiumShowsTheFlaggedPhotosFirstByPath) {
  if (!fs::exists(kChromium) || !fs::exists(kTimeout)) {
    GTEST_SKIP() << "no " << kChromium << " (scripts/install-deps.sh chromium installs it)";
  }
  TempFolder root;
  writeTwoFolderSurvey(root.path());
  const std::string page = root / "survey.html";
  ::setenv("PHOTOCHECK_HTML", page.c_str(), 1);
  const ToolRun run = runTool(PHOTOCHECK_EXE, {"survey.settings"}, root.path());
  ::unsetenv("PHOTOCHECK_HTML");
  ASSERT_EQ(run.status, 1);
  ASSERT_TRUE(fs::exists(page));

  // A copy that, once loaded, clicks the map where it drew the dot of
  // flight2/DJI_0006.JPG (its details kept in data-a) and then the table
  // row of flight1/DJI_0004.JPG.
  const ToolRun dom = runChromium(root, "1366,900", "en-US", "--dump-dom",
                                  withScript(root, page, "clicking.html",
                                             "clickDot(6);"
                                             "document.body.setAttribute('data-a',"
                                             "document.getElementById('info').textContent);"
                                             "click(document.querySelector('#r3 td'));"
                                             "zoomAndReset();"));
  if (dom.status != 0 || dom.out.find("<html") == std::string::npos) {
    GTEST_SKIP() << "Chromium could not start here (status " << dom.status << "): " << dom.err;
  }
  const std::string& html = dom.out;
  EXPECT_NE(html.find(">The set failed<"), std::string::npos);  // the browser's language
  const std::size_t table = html.find("<table class=\"flagged\">");
  ASSERT_NE(table, std::string::npos);
  EXPECT_LT(table, html.find("<canvas"));
  // Five flagged photos, each by its path below the image folder.
  EXPECT_EQ(countOf(html, "<td class=\"n\">"), 5u);
  for (const char* path : {"flight1/DJI_0004.JPG", "flight2/DJI_0006.JPG", "flight2/DJI_0008.JPG",
                           "flight2/DJI_0009.JPG", "flight2/DJI_FLIGHT.MRK"}) {
    EXPECT_NE(html.find(std::string("<td class=\"n\">") + path + "</td>"), std::string::npos)
        << path;
  }
  EXPECT_NE(html.find(">not a JPEG<"), std::string::npos);
  EXPECT_NE(html.find(">without 35 mm focal length<"), std::string::npos);
  EXPECT_EQ(html.find(">DJI_0006.JPG<"), std::string::npos);  // never a bare name
  // Ten photos with a position drawn, three of them flagged and drawn
  // larger (flight1/DJI_0004.JPG, flight2/DJI_0006.JPG and DJI_0008.JPG);
  // flight2/DJI_0009.JPG has none and is listed beside the map.
  EXPECT_NE(html.find("data-dots=\"10\" data-flagged-dots=\"3\""), std::string::npos);
  EXPECT_NE(html.find("<li data-i=\"9\">flight2/DJI_0009.JPG</li>"), std::string::npos);
  // The dot clicked showed its photo's details and lit its row; the row
  // clicked then chose its dot.
  EXPECT_NE(html.find("data-a=\"flight2/DJI_0006.JPGresolution: 160 × 120camera maker: "
                      "Hasselblad"),
            std::string::npos);
  EXPECT_NE(html.find("position: 30.2"), std::string::npos);
  // Then the readiness facts it has: its flight and line (no height, so no
  // footprint and no measure).
  EXPECT_NE(html.find("captured: 2024-05-18 10:26:07flight: 1line: 2\""), std::string::npos);
  // The run's readiness gives each row its place in flight order (data-o).
  EXPECT_NE(html.find("<tr id=\"r3\" data-i=\"3\" data-o=\"0\" class=\"hl\">"), std::string::npos);
  EXPECT_NE(html.find("data-chosen=\"3\""), std::string::npos);
  // Zoomed in, the map drew fewer dots, dragged aside none; reset, all ten.
  const std::size_t zoomed = html.find("data-zoomed=\"");
  ASSERT_NE(zoomed, std::string::npos);
  EXPECT_LT(std::stoi(html.substr(zoomed + 13)), 10);
  EXPECT_NE(html.find("data-dragged=\"0\""), std::string::npos);
  EXPECT_NE(html.find("data-whole=\"10\""), std::string::npos);

  // Neither English nor Chinese: the page stays in Chinese.
  const ToolRun french = runChromium(root, "1366,900", "fr-FR", "--dump-dom", page);
  EXPECT_NE(french.out.find(u8">影像检查未通过<"), std::string::npos);
  EXPECT_EQ(french.out.find(">The set failed<"), std::string::npos);

  expectScreenshot(root, "1366,900", "sample-page.png", page);
  expectScreenshot(root, "390,844", "sample-page-phone.png", page);
}

// Sixty copies of a photo the resolution check flags (among 61 of the size
// it takes as the set's), images 0 to 59: the flagged table and
// the group show 50 rows each and hold 10 back. "show more" makes the
// table's, in the language shown; a click on a dot whose row was held back
// makes the group's and lights the row.
TEST(BrowserPage, ShowsTheRowsItHeldBackOnRequest) {
  if (!fs::exists(kChromium) || !fs::exists(kTimeout)) {
    GTEST_SKIP() << "no " << kChromium << " (scripts/install-deps.sh chromium installs it)";
  }
  TempFolder root;
  const fs::path many = fs::path(root.path()) / "many";
  fs::create_directories(many);
  for (int k = 100; k < 221; ++k) {
    fs::copy_file(kCheckout / "examples" / "images" / (k < 160 ? "DJI_0004.JPG" : "DJI_0001.JPG"),
                  many / ("IMG_" + std::to_string(k) + ".JPG"));
  }
  writeFileBytes(root / "many.settings",
                 "a = true\nb = true\nc = true\nd = true\ne = many\nf = output\n");
  const std::string page = root / "many.html";
  ::setenv("PHOTOCHECK_HTML", page.c_str(), 1);
  const ToolRun run = runTool(PHOTOCHECK_EXE, {"many.settings"}, root.path());
  ::unsetenv("PHOTOCHECK_HTML");
  ASSERT_EQ(run.status, 1);
  const ToolRun dom =
      runChromium(root, "1366,900", "en-US", "--dump-dom",
                  withScript(root, page, "more.html",
                             "document.body.setAttribute('data-rows',"
                             "document.querySelectorAll('.flagged tr[data-i]').length);"
                             "click([...document.querySelectorAll('.more')]"
                             ".find((e) => !e.closest('.findings')));clickDot(59);"));
  if (dom.status != 0 || dom.out.find("<html") == std::string::npos) {
    GTEST_SKIP() << "Chromium could not start here (status " << dom.status << "): " << dom.err;
  }
  // The readiness findings (121 copies of two photos: duplicates) list
  // photos of their own, held back alike: left out of the counts.
  std::string html = dom.out;
  const std::size_t findings = html.find("<ul class=\"findings\">");
  if (findings != std::string::npos) {
    html.erase(findings, html.find("</ul>", findings) + 5 - findings);
  }
  EXPECT_NE(html.find("data-rows=\"50\""), std::string::npos);
  EXPECT_EQ(countOf(html, "<tr id=\"r"), 60u);
  EXPECT_EQ(countOf(html, "<li data-i=\""), 60u);
  EXPECT_EQ(countOf(html, "class=\"part\""), 0u);
  EXPECT_EQ(countOf(html, "class=\"more\""), 0u);
  EXPECT_NE(html.find("<tr id=\"r59\" data-i=\"59\" data-o=\"59\" class=\"hl\">"),
            std::string::npos);
  EXPECT_NE(html.find("<li data-i=\"59\" class=\"hl\">"), std::string::npos);
  // The rows made in English: the 60 rows, the counts, the legend and the section.
  EXPECT_EQ(countOf(html, "<span data-t=\"9\">resolution</span>"), 60u + 3);
  EXPECT_NE(html.find("data-chosen=\"59\""), std::string::npos);
}

// A lawnmower survey of two flights a day apart, three lines of ten photos
// each, flown north and south, 4000 x 3000 pixels of 2 cm; every seventh
// photo flagged by the resolution check. The folder flight1 holds the later
// flight (the analyses' flight 2), flight2 the earlier. Its readiness result
// is made here (the analyses' own tests tell what they find): at risk, a
// coverage gap around flight 2's middle line and low forward overlap on
// flight 1's first line.
struct LawnmowerPage {
  platform::PathList images;
  std::vector<ImageFacts> facts;
  CheckOutcome resolution;
  readiness::ReadinessResult result;

  LawnmowerPage() {
    for (std::uint32_t flight = 0; flight < 2; ++flight) {
      for (std::uint32_t line = 0; line < 3; ++line) {
        for (std::uint32_t k = 0; k < 10; ++k) {
          const std::uint32_t image = static_cast<std::uint32_t>(images.size());
          const std::uint32_t step = line % 2 == 0 ? k : 9 - k;
          images.push_back(platform::FilePath("survey/flight" + std::to_string(flight + 1) +
                                              "/DJI_" + std::to_string(1000 + image) + ".JPG"));
          ImageFacts photo;
          photo.read = ImageRead::decoded;
          photo.latitude = 30.26 + step * 20 / 111320.0;
          photo.longitude = 120.1 + (flight * 3 + line) * 55 / 96200.0;
          photo.imageWidth = 4000;
          photo.imageHeight = 3000;
          photo.captured.year = 2024;
          photo.captured.month = 5;
          photo.captured.day = static_cast<std::uint8_t>(18 - flight);
          photo.captured.hour = 10;
          photo.captured.minute = static_cast<std::uint8_t>(line * 10 + k / 2);
          photo.captured.second = static_cast<std::uint8_t>(k % 2 * 30);
          photo.flaggedBy = image % 7 == 3 ? 1 : 0;
          (photo.flaggedBy != 0 ? resolution.groups["1*1"] : resolution.groups["4000*3000"])
              .push_back(image);
          if (photo.flaggedBy != 0) resolution.reported.push_back(image);
          facts.push_back(photo);
          readiness::PhotoReadiness measured;
          measured.flight = 1 - flight;
          measured.line = (1 - flight) * 3 + line;
          measured.gsdCm = 2.0f;
          measured.yawDeg = line % 2 == 0 ? 0.0f : 180.0f;
          measured.forwardOverlap = 0.67f;
          measured.views = 6;
          result.photos.push_back(measured);
        }
      }
    }
    result.verdict = readiness::Verdict::atRisk;
    result.flightCount = 2;
    result.lineCount = 6;
    readiness::Finding gap;
    gap.kind = readiness::FindingKind::coverageGap;
    gap.cause = readiness::FindingCause::fewViews;
    gap.photos = {13, 14, 15, 16};
    gap.photoCount = 4;
    gap.value = 2;
    readiness::Finding forward;
    forward.kind = readiness::FindingKind::lowForwardOverlap;
    forward.cause = readiness::FindingCause::forwardBelow;
    forward.flight = 0;
    forward.line = 0;
    forward.photos = {32, 33, 34};
    forward.photoCount = 3;
    forward.value = 0.52;
    result.findings = {gap, forward};
    // The views under the footprints: 10 by 6 cells over the survey, 6
    // views each but a square of four seen by 2, the gap's.
    readiness::CoverageRaster& raster = result.coverage;
    raster.south = 30.26 - 30 / 111320.0;
    raster.west = 120.1 - 40 / 96200.0;
    raster.cellNorth = 25 / 111320.0;
    raster.cellEast = 60 / 96200.0;
    raster.columns = 6;
    raster.rows = 10;
    raster.views.assign(60, 6);
    raster.gaps.assign(60, 0);
    for (const std::size_t cell : {26, 27, 32, 33}) {
      raster.views[cell] = 2;
      raster.gaps[cell] = 1;
    }
  }

  PageInput input() const {
    PageInput page;
    page.status = 1;
    page.version = "test";
    page.runTime = "2026-12-10 10:00:00 +00:00";
    page.folderShown = "/home/survey";
    page.imageFolder = platform::FilePath("survey");
    page.images = &images;
    page.facts = &facts;
    page.outcomes[0] = &resolution;
    page.readiness = &result;
    return page;
  }
};

// The page with readiness in Chromium: the verdict beside the checks', the
// findings' lines, sixty footprints and the gap drawn on a map that starts
// on the first screen of a 1366x900 laptop, and the flagged table sorted by
// flight and capture order on request. Its screenshot, readiness-page.png,
// is left beside the built photocheck.
TEST(BrowserPage, ChromiumShowsTheReadinessVerdictFindingsAndFootprints) {
  if (!fs::exists(kChromium) || !fs::exists(kTimeout)) {
    GTEST_SKIP() << "no " << kChromium << " (scripts/install-deps.sh chromium installs it)";
  }
  TempFolder root;
  const LawnmowerPage survey;
  const std::string page = root / "readiness.html";
  writeFileBytes(page, pageText(survey.input()));
  const ToolRun dom = runChromium(
      root, "1366,900", "en-US", "--dump-dom",
      withScript(root, page, "sorting.html",
                 "var b=document.body,m=document.getElementById('m');"
                 "b.setAttribute('data-map-top',Math.round(m.getBoundingClientRect().top));"
                 "b.setAttribute('data-map-left',Math.round(m.getBoundingClientRect().left));"
                 "clickDot(14);b.setAttribute('data-a',"
                 "document.getElementById('info').textContent);"
                 "click(document.getElementById('sort'));"
                 "b.setAttribute('data-first-row',"
                 "document.querySelector('.flagged tr[data-i]').getAttribute('data-i'));"));
  if (dom.status != 0 || dom.out.find("<html") == std::string::npos) {
    GTEST_SKIP() << "Chromium could not start here (status " << dom.status << "): " << dom.err;
  }
  const std::string& html = dom.out;
  EXPECT_NE(html.find(">The set failed<"), std::string::npos);
  EXPECT_NE(html.find("<p class=\"rv risk\"><span data-t=\"57\">Readiness</span>: <span "
                      "data-t=\"59\">at risk</span></p>"),
            std::string::npos);
  EXPECT_NE(html.find(">forward overlap below 70%</span> <span data-t=\"65\">flight</span> 1 "
                      "<span data-t=\"66\">line</span> 1 — 52% (3 "),
            std::string::npos);
  EXPECT_NE(html.find(">coverage gap: an area seen by fewer than 5 photos<"), std::string::npos);
  EXPECT_NE(html.find(">flight1/DJI_1014.JPG — 6 <span"), std::string::npos);
  EXPECT_NE(html.find("data-footprints=\"60\""), std::string::npos);
  EXPECT_NE(html.find("data-gaps=\"1\""), std::string::npos);
  // Every cell of the views raster shaded under the footprints; a dot's
  // details give its readiness facts.
  EXPECT_NE(html.find("data-coverage-cells=\"60\""), std::string::npos);
  EXPECT_NE(html.find("flight: 2line: 5GSD: 2 cm/pxforward overlap: 67%views: 6\""),
            std::string::npos);
  // The map beside the lists, high on the first screen.
  const std::size_t top = html.find("data-map-top=\"");
  ASSERT_NE(top, std::string::npos);
  EXPECT_LT(std::stoi(html.substr(top + 14)), 450);
  const std::size_t left = html.find("data-map-left=\"");
  ASSERT_NE(left, std::string::npos);
  EXPECT_GT(std::stoi(html.substr(left + 15)), 500);
  // Sorted by flight and capture order, the earlier flight's photos (in
  // the folder flight2, from photo 31 on) come first.
  EXPECT_NE(html.find("data-first-row=\"31\""), std::string::npos);
  EXPECT_LT(html.find("<tr id=\"r59\""), html.find("<tr id=\"r3\""));
  EXPECT_NE(html.find("data-by=\"o\""), std::string::npos);

  expectScreenshot(root, "1366,900", "readiness-page.png", page);
}

// The page on paper, as docs/usage.md tells it: the print rules of its
// style sheet applied on screen at the width of a Letter page's print area
// (Chromium's print lays out at that width too), for a set of 249 flagged
// photos. The map stands above the lists, the flagged table's held-back
// rows are one line that counts them, the controls and the list beside the
// map are not printed, and the checks' groups start on a page of their own.
// Then the same page printed to a PDF: three pages at least.
TEST(BrowserPage, PrintsTheMapFirstAndCountsTheRowsItLeavesOut) {
  if (!fs::exists(kChromium) || !fs::exists(kTimeout)) {
    GTEST_SKIP() << "no " << kChromium << " (scripts/install-deps.sh chromium installs it)";
  }
  TempFolder root;
  e2e::Photo noFocalLength;
  noFocalLength.focalLength35mm.reset();
  for (int k = 0; k < 260; ++k) {
    char name[32];
    std::snprintf(name, sizeof name, "/images/IMG_%04d.JPG", k);
    e2e::writePhoto(root / name, k < 249 ? noFocalLength : e2e::Photo{});
  }
  const std::string page = root / "print.html";
  ::setenv("PHOTOCHECK_HTML", page.c_str(), 1);
  const e2e::PhotoRun run = e2e::runOn(root, root / "images", root / "out");
  ::unsetenv("PHOTOCHECK_HTML");
  ASSERT_EQ(run.run.status, 1);
  ASSERT_TRUE(fs::exists(page));

  const ToolRun dom = runChromium(
      root, "720,900", "en-US", "--dump-dom",
      withScript(
          root, page, "printed.html",
          "var d=document,b=d.body,css='';"
          "for(var s of d.styleSheets)for(var r of s.cssRules)"
          "if(r.media&&r.media.mediaText=='print')for(var q of r.cssRules)css+=q.cssText;"
          "var st=d.createElement('style');st.textContent=css;d.head.appendChild(st);"
          "function topOf(q){return Math.round(d.querySelector(q).getBoundingClientRect().top)}"
          "b.setAttribute('data-map',topOf('#m'));"
          "b.setAttribute('data-table',topOf('table.flagged'));"
          "b.setAttribute('data-held',d.querySelector('table.flagged~.more').innerText);"
          "b.setAttribute('data-hidden',['#lang','#reset','.hint','.side'].map(function(q){"
          "return getComputedStyle(d.querySelector(q)).display}).join());"
          "b.setAttribute('data-break',getComputedStyle(d.getElementById('checks'))"
          ".breakBefore);"));
  if (dom.status != 0 || dom.out.find("<html") == std::string::npos) {
    GTEST_SKIP() << "Chromium could not start here (status " << dom.status << "): " << dom.err;
  }
  const auto attribute = [&dom](const std::string& name) {
    const std::size_t at = dom.out.find(" " + name + "=\"");
    if (at == std::string::npos) return std::string();
    const std::size_t from = at + name.size() + 3;
    return dom.out.substr(from, dom.out.find('"', from) - from);
  };
  ASSERT_FALSE(attribute("data-map").empty()) << dom.out.substr(0, 2000);
  EXPECT_LT(std::stoi(attribute("data-map")), std::stoi(attribute("data-table")));
  EXPECT_EQ(attribute("data-held"), "rows not printed (199)");
  EXPECT_EQ(attribute("data-hidden"), "none,none,none,none");
  EXPECT_EQ(attribute("data-break"), "page");

  const std::string pdf = root / "print.pdf";
  const ToolRun printed = runChromium(root, "1366,900", "en-US", "--print-to-pdf=" + pdf, page);
  EXPECT_EQ(printed.status, 0) << printed.err;
  const std::optional<std::string> bytes = readFileBytes(pdf);
  ASSERT_TRUE(bytes.has_value()) << "no PDF at " << pdf;
  EXPECT_EQ(bytes->substr(0, 5), "%PDF-");
  // The page tree's count: the header, the map and the table's first rows;
  // the rest of the table; the groups from a page of their own.
  const std::size_t count = bytes->find("/Count ");
  ASSERT_NE(count, std::string::npos);
  EXPECT_GE(std::stoi(bytes->substr(count + 7)), 3);
}

}  // namespace

#endif  // _WIN32
