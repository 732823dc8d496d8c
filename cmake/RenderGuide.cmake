# Renders a Markdown file into a stand-alone HTML page with cmark-gfm (its table
# extension: the README's tables are GitHub-style).
#   cmake -DCMARK=... -DINPUT=README.md -DOUTPUT=guide.html -DTITLE=... -P RenderGuide.cmake
execute_process(COMMAND ${CMARK} --extension table --to html ${INPUT}
                OUTPUT_VARIABLE body RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmark could not render ${INPUT}")
endif()
file(WRITE ${OUTPUT} "<!DOCTYPE html>
<html>
<head>
<meta charset=\"utf-8\">
<title>${TITLE}</title>
<style>
body { font-family: sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em; line-height: 1.45; }
img { max-width: 100%; }
pre, code { background: #f3f3f3; }
pre { padding: 0.6em; overflow-x: auto; }
table { border-collapse: collapse; }
td, th { border: 1px solid #ccc; padding: 0.2em 0.5em; }
</style>
</head>
<body>
${body}</body>
</html>
")
