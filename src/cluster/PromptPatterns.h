#pragma once

#include <QStringView>

namespace varnello::prompts {

// The node prompts, matched in time proportional to the text's length. They read as these
// regular expressions (case-insensitive, CALL the callsign taken literally), which backtrack
// over a long run of blanks for seconds:
//   node prompt:  (?:\(CALL\)|\bCALL\b)\s+de\s+(?![^\s>]*:)[^\r\n>]+\s*>\s*$
//   AR-Cluster:   the same with [^\r\n>]+\s+arc\d*\s*>\s*$ at the end
//   CC Cluster:   the same with [^\r\n>]+\s+ccc\s*>\s*$ at the end
//   DXSpider:     the same with [^\r\n>]+\bdxspider\b\s*>\s*$ at the end
// The callsign stands in parentheses while the user is marked as not here. The word after "de"
// is the node's name, never a word with ":" as in a talk line ("N0CALL de K1ABC: hello >").
enum class NodeKind { any, arCluster, ccCluster, dxSpider };

// Whether a prompt of that kind ends `text`.
bool endsInNodePrompt(QStringView text, QStringView callsign, NodeKind kind);

// How long a node prompt at the start of `line` is, with the white space after it, when more
// follows it (0: none there); the pattern above without the end anchor.
qsizetype leadingNodePromptLength(QStringView line, QStringView callsign);

// A last line of 1 to 250 characters with no ">" of its own, ending in ">" and white space:
// (?:^|[\r\n])[^\r\n>]{1,250}>\s*$
bool endsInGenericPrompt(QStringView text);

// A last line of up to 250 characters ending in ">" and white space, whatever it holds ("<" and
// ">" included, or nothing but the ">"): the widest shape a prompt a user set for themselves can
// take.
bool endsInAnyPrompt(QStringView text);

// A line shaped like the prompt of a node: the generic prompt, with no "<" of a greeting
// placeholder ("Enter <your name> >").
bool looksLikePrompt(QStringView line);

// A line that begins a spot ("DX de").
bool beginsSpotLine(QStringView line);

// A line the node sends of its own accord, never in answer to the user: a spot, talk, an
// announcement, WWV or WCY.
bool isNodeTraffic(QStringView line);

// A line in which the node says it runs DXSpider: "DXSpider V" and a version, in whatever
// language the rest of the line is ("running DXSpider V1.57 build 441", "usando DXSpider V1.57").
bool announcesDXSpider(QStringView line);

// What stays the same from one sending of a prompt to the next: lower case, each run of digits
// one "#", each month name one "@", each run of blanks one space and none before a digit (the
// time and date move on, and a day of one digit is padded to the width of two: " 9-Dec-2026",
// "10-Dec-2026", behind a blank or anything else), no parentheses (the callsign stands in them
// while the user is marked away).
QString promptKey(QStringView line);

// How long the copy of `line` (a prompt, as promptKey compares them) at the start of `text` is,
// with the blanks after it, when the line holds no line break up to there (0: none there). A copy
// is never looked for further than twice the line's length and a little more.
qsizetype leadingCopyLength(QStringView text, QStringView line);
// The same with the line's key, promptKey(line.trimmed()), worked out once.
qsizetype leadingCopyLength(QStringView text, QStringView line, QStringView lineKey);

// Whether `text` may be the start of a copy of `line` that a read cut: the same text so far, as
// promptKey compares it, or character for character but for the digits (a month's name may be cut
// too).
bool mayBeginCopy(QStringView text, QStringView line);

// Lines a node sends of its own accord: "To ALL de K1ABC: ...", "To N0CALL de K1ABC: ...",
// "N0CALL de K1ABC: ..." (talk), "WWV de W0MU <18>: ...", "WCY de DK0WCY-1 <18> : ...". A node
// prompt the line was glued to may stand in front; a node prompt itself has no ":" after its
// node name. Read in one pass over the line's start, as this expression (case-insensitive, \s
// the ASCII blanks) would:
//   ^[\s\x07]*(?:[^\r\n<>]{1,250}>\s*)?(?:to\s+)?[a-z0-9/#-]+\s+de\s+
//   [a-z0-9/#-]+\s*(?:<[^<>\r\n]*>\s*)?:
bool isUnsolicitedLine(QStringView line);

// Nothing but white space and BEL characters (or nothing at all).
bool isBlankLine(QStringView line);

} // namespace varnello::prompts
