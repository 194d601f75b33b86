// What a vendor chooses when building a setup rather than in its records:
// where downloads come from, whose signatures are trusted, how often a
// download is tried. Defined in one source that the build makes for each
// setup from its options (cmake/build_options.cpp.in).
#pragma once

// PELORIN_DOWNLOAD_URL: the prefix of a package's URL, for the records'
// downloadUrl.
extern const wchar_t g_downloadUrl[];
// PELORIN_ENGINE_URL: the folder URL of the engine redistributables, for the
// records' baseUrl.
extern const wchar_t g_engineUrl[];

// PELORIN_TRUSTED_SIGNER: the pinned signers, or empty for none: entries
// separated by ";", each the SHA-256 of a signing certificate's public key
// (its encoded SubjectPublicKeyInfo) in hex, or "self", the key that signs
// the setup itself. A list lets a vendor ship today's key and the next one.
// The build checks it.
extern const wchar_t g_trustedSigner[];

// PELORIN_DOWNLOAD_TRIES: how many times a package or redistributable
// download is tried in all (1 to 10). A build option and not a record,
// because it is the vendor's choice for its users' networks, not a property
// of one product. 1 tries once: a failure ends the run at once. Above 1 only
// a transient failure (a connection refused, reset or cut short, no data for
// too long, a busy or failing server) is tried again, after a wait, from
// where the earlier try stopped when the server allows it; a missing file, a
// file that fails its check and the user's Cancel never are.
extern const unsigned g_downloadTries;
