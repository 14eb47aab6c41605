# The engine's output is fixed to the bit: no fused multiply-adds anywhere in
# it, whatever the processor offers. Set on whole targets, so that every file
# added to them later is compiled the same way.
function(tavolin_exact_arithmetic target)
  target_compile_options(${target} PRIVATE -ffp-contract=off)
endfunction()
